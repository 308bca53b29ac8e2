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

constexpr uint32_t kLeftKey = 0xff51;
constexpr uint32_t kRightKey = 0xff53;
constexpr uint32_t kEndKey = 0xff57;

TEST_F(MainWindowTest, ARightClickOnASliderLeavesNoMenuAndWheelStepsStillRebuild)
{
    showPicture(40, 30);
    ASSERT_TRUE(ShowActiveAndPlaced(main1.get()));
    QScrollBar* bar = main1->ScrollBar1;
    EXPECT_EQ(bar->contextMenuPolicy(), Qt::PreventContextMenu);
    EventCounter releases(QEvent::MouseButtonRelease);
    bar->installEventFilter(&releases);

    const QPoint centre = bar->mapToGlobal(bar->rect().center());
    xt::movePointer(centre.x(), centre.y());
    xt::clickButton(3);
    // The release reaches the slider itself: no popup took the mouse.
    ASSERT_TRUE(WaitFor([&] { return releases.count >= 1; }));
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    EXPECT_EQ(bar->value(), 0);
    EXPECT_EQ(runs->count(), 0);

    xt::clickButton(5); // one wheel step down
    ASSERT_TRUE(WaitFor([&] { return runs->count() >= 1; }));
    EXPECT_NE(bar->value(), 0);
    EXPECT_EQ(main1->StaticText1->text(), QString::number(bar->value()));
    EXPECT_EQ(bar->toolTip(), QString::number(bar->value()));
}

TEST_F(MainWindowTest, AClickedSliderTakesTheKeyboardAndEachKeyIsAWholeScroll)
{
    showPicture(40, 30);
    ASSERT_TRUE(ShowActiveAndPlaced(main1.get()));
    QScrollBar* bar = main1->ScrollBar4; // "Cadre", steps of 1
    EXPECT_TRUE(bar->focusPolicy() & Qt::TabFocus);
    // A click on the left arrow at the minimum moves nothing but gives the slider the focus.
    const QPoint thumb = bar->mapToGlobal(QPoint(8, bar->height() / 2));
    xt::movePointer(thumb.x(), thumb.y());
    xt::clickButton(1);
    ASSERT_TRUE(WaitFor([&] { return bar->hasFocus(); }));
    ASSERT_TRUE(WaitFor([&] { return runs->count() >= 1; })); // the click's own scroll end

    // Each key is a whole scroll: the number and the picture follow it.
    const std::pair<uint32_t, int> steps[] = {{kRightKey, 1}, {kLeftKey, 0}, {kEndKey, 20}};
    for (const auto& [key, expected] : steps) {
        SCOPED_TRACE(expected);
        runs->clear();
        ASSERT_TRUE(xt::pressKey(key));
        EXPECT_TRUE(WaitFor([&] { return bar->value() == expected && runs->count() >= 1; })) << bar->value();
        EXPECT_EQ(main1->StaticText1->text(), QString::number(expected));
    }
}

} // namespace
} // namespace kaptivus::picture::testing
