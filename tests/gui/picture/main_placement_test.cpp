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
        // Once framed, the whole frame lies on the screen, as the server has it.
        kaptivus::test::Rect frame;
        EXPECT_TRUE(WaitFor([&] {
            frame = kaptivus::test::windowFrameBox(main1->winId());
            const QRect box(frame.left, frame.top, frame.width, frame.height);
            return box.size() != main1->size() && screen.contains(box);
        })) << frame.left << "," << frame.top << " " << frame.width << "x" << frame.height;
    }
}

} // namespace
} // namespace kaptivus::picture::testing
