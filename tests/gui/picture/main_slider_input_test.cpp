// The sliders move only through the scroll path: a right click opens no menu
// of its own that would move a thumb without a rebuild and leave the slider
// held, and the keyboard reaches them.
#include "main_fixture.h"

#include <QLabel>
#include <QMenu>
#include <QScrollBar>

namespace kaptivus::picture::testing {
namespace {

namespace xt = kaptivus::test;

constexpr uint32_t kRightKey = 0xff53;

// Counts the mouse releases a widget receives.
struct ReleaseCounter : QObject {
    int releases = 0;
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::MouseButtonRelease)
            ++releases;
        return false;
    }
};

bool ShowAndActivate(TMain1* main1)
{
    main1->show();
    main1->activateWindow();
    return QTest::qWaitForWindowExposed(main1) && QTest::qWaitForWindowActive(main1);
}

TEST_F(MainWindowTest, ARightClickOnASliderLeavesNoMenuAndWheelStepsStillRebuild)
{
    showPicture(40, 30);
    ASSERT_TRUE(ShowAndActivate(main1.get()));
    QScrollBar* bar = main1->ScrollBar1;
    EXPECT_EQ(bar->contextMenuPolicy(), Qt::PreventContextMenu);
    ReleaseCounter counter;
    bar->installEventFilter(&counter);

    const QPoint centre = bar->mapToGlobal(bar->rect().center());
    xt::movePointer(centre.x(), centre.y());
    xt::clickButton(3);
    // The release reaches the slider itself: no popup took the mouse.
    ASSERT_TRUE(WaitFor([&] { return counter.releases >= 1; }));
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    EXPECT_EQ(bar->value(), 0);
    EXPECT_EQ(runs->count(), 0);

    xt::clickButton(5); // one wheel step down
    ASSERT_TRUE(WaitFor([&] { return runs->count() >= 1; }));
    EXPECT_NE(bar->value(), 0);
    EXPECT_EQ(main1->StaticText1->text(), QString::number(bar->value()));
    EXPECT_EQ(bar->toolTip(), QString::number(bar->value()));
}

TEST_F(MainWindowTest, AClickedSliderTakesTheKeyboardAndAnArrowKeyIsAWholeScroll)
{
    showPicture(40, 30);
    ASSERT_TRUE(ShowAndActivate(main1.get()));
    QScrollBar* bar = main1->ScrollBar4; // "Cadre", steps of 1
    EXPECT_TRUE(bar->focusPolicy() & Qt::TabFocus);
    // A click on the left arrow at the minimum moves nothing but gives the slider the focus.
    const QPoint thumb = bar->mapToGlobal(QPoint(8, bar->height() / 2));
    xt::movePointer(thumb.x(), thumb.y());
    xt::clickButton(1);
    ASSERT_TRUE(WaitFor([&] { return bar->hasFocus(); }));
    ASSERT_TRUE(WaitFor([&] { return runs->count() >= 1; })); // the click's own scroll end
    runs->clear();
    const int before = bar->value();

    ASSERT_TRUE(xt::pressKey(kRightKey));
    ASSERT_TRUE(WaitFor([&] { return runs->count() >= 1; }));
    EXPECT_EQ(bar->value(), before + 1);
    EXPECT_EQ(main1->StaticText1->text(), QString::number(before + 1));
}

} // namespace
} // namespace kaptivus::picture::testing
