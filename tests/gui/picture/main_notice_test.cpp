// A notice shown while the picture window is in front takes the keyboard: the
// real Escape key closes the notice, and the picture window stays open.
#include "main_fixture.h"

#include "dialogs/Info.h"
#include "dialogs/Timer.h"

namespace kaptivus::picture::testing {
namespace {

namespace xt = kaptivus::test;

TEST_F(MainWindowTest, EscapeClosesANoticeOverThePictureWindowAndLeavesTheWindowOpen)
{
    TInfo1 info;
    showPicture(40, 30);
    main1->show();
    main1->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(main1.get()));

    info.ShowInfo(QStringLiteral("Picture Sucessfully Saved as  /tmp/a.gif"), 5);
    ASSERT_TRUE(WaitFor([&] { return QApplication::activeWindow() == &info; }));
    ASSERT_TRUE(xt::pressKey(xt::keysym::Escape));
    ASSERT_TRUE(WaitFor([&] { return !info.isVisible(); }));
    EXPECT_TRUE(main1->isVisible());
    EXPECT_TRUE(info.Timer1->isEnabled()) << "Escape leaves the countdown running";
    // The keyboard goes back to the picture window, where Escape hides it as before.
    ASSERT_TRUE(WaitFor([&] { return QApplication::activeWindow() == main1.get(); }));
    ASSERT_TRUE(xt::pressKey(xt::keysym::Escape));
    EXPECT_TRUE(WaitFor([&] { return !main1->isVisible(); }));
}

} // namespace
} // namespace kaptivus::picture::testing
