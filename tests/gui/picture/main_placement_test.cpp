// A picture window stored where a larger screen had room comes back wholly
// onto this screen when it fits, not with only its title bar on it.
#include "main_fixture.h"

#include <QScreen>

namespace kaptivus::picture::testing {
namespace {

TEST_F(MainWindowTest, AWindowStoredPartlyOffScreenComesWhollyBack)
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const struct {
        const char* name;
        QPoint stored;
    } cases[] = {
        {"past the right edge", {screen.width() - 120, 60}},
        {"past the bottom edge", {80, screen.height() - 90}},
        {"past the corner", {screen.width() - 50, screen.height() - 40}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        main1->hide();
        main1->move(c.stored);
        main1->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(main1.get()));
        // Once framed, the whole frame lies on the screen.
        EXPECT_TRUE(WaitFor([&] {
            const QRect frame = main1->frameGeometry();
            return frame.size() != main1->size() && screen.contains(frame);
        })) << main1->frameGeometry().x() << "," << main1->frameGeometry().y() << " "
            << main1->frameGeometry().width() << "x" << main1->frameGeometry().height();
    }
}

} // namespace
} // namespace kaptivus::picture::testing
