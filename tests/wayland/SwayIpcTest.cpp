// The sway window source against what sway itself reports and what is on screen.
#include "platform/wayland/SwayIpc.h"

#include "SwaySession.h"
#include "platform/wayland/WlrScreencopy.h"

#include <gtest/gtest.h>

namespace kaptivus::test {
namespace {

using platform::ScreenPoint;
using platform::ScreenRect;
using platform::wayland::readSwayTree;
using platform::wayland::SwayTree;

constexpr uint32_t kDesktop = 0x203040;
constexpr uint32_t kInside = 0xE03020;

// The bounding box of the pixels that (do not) have a colour.
ScreenRect boxOf(const pixels::Picture& picture, uint32_t colour, bool equal)
{
    int left = picture.width();
    int top = picture.height();
    int right = -1;
    int bottom = -1;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            if ((rgbAt(picture, x, y) == colour) != equal) continue;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    return right < 0 ? ScreenRect {} : ScreenRect { left, top, right - left + 1, bottom - top + 1 };
}

// The focused window's rectangles: the client is where the terminal's own
// colour is on screen and what sway reports as rect + window_rect; the frame
// is everything that is not desktop (border and title bar included).
TEST(SwayIpc, FocusedWindowRectanglesMatchSwayAndTheScreen)
{
    struct Case {
        const char* name;
        const char* arrange;
    };
    const std::vector<Case> cases {
        { "kaptivus-tiled", "" },
        { "kaptivus-floating", "floating enable, resize set 640 400, move position 300 200" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PrivateSway sway;
        ASSERT_TRUE(sway.isReady());
        arrangeOutputs({ { 1920, 1080, 0, 0, 1, 0, kDesktop } });
        Foot window(c.name, kInside, c.arrange);
        // Settled when the screen shows the terminal where sway says it is.
        ScreenRect client;
        platform::wayland::DesktopGrab grab;
        ASSERT_TRUE(waitUntil([&] {
            const QJsonObject node = window.node();
            const ScreenRect rect = jsonRect(node.value("rect"));
            const ScreenRect inside = jsonRect(node.value("window_rect"));
            client = ScreenRect { rect.left + inside.left, rect.top + inside.top, inside.width, inside.height };
            grab = platform::wayland::WlrScreencopy().grabDesktop();
            return node.value("focused").toBool() && grab.ok() && boxOf(grab.picture, kInside, true) == client;
        })) << "sway says "
            << client.left << "," << client.top << " " << client.width << "x" << client.height << ", the screen "
            << boxOf(grab.picture, kInside, true).left << "," << boxOf(grab.picture, kInside, true).top << " "
            << boxOf(grab.picture, kInside, true).width << "x" << boxOf(grab.picture, kInside, true).height;

        const SwayTree tree = readSwayTree();
        ASSERT_TRUE(tree.ok()) << tree.error;
        const auto focused = platform::wayland::focusedWindow(tree);
        ASSERT_TRUE(focused.has_value());
        EXPECT_EQ(focused->appId, c.name);
        EXPECT_EQ(focused->client, client);
        EXPECT_EQ(focused->frame, boxOf(grab.picture, kDesktop, false));
    }
}

TEST(SwayIpc, WindowAtGivesTheTopmostDeepestWindow)
{
    PrivateSway sway;
    ASSERT_TRUE(sway.isReady());
    arrangeOutputs({ { 1920, 1080, 0, 0, 1, 0, kDesktop }, { 1280, 720, 1920, 0, 1, 0, 0x10A050 } });
    swaymsg("focus output HEADLESS-1");
    Foot left("kaptivus-left", 0x802020);
    Foot right("kaptivus-right", 0x208020);
    Foot floating("kaptivus-float", 0x202080, "floating enable, resize set 400 300, move position 1300 100");
    // foot may commit its own size after the rule applied at map time; the
    // command is given again until the floating window has the size and place.
    ASSERT_TRUE(waitUntil([&] {
        const ScreenRect rect = jsonRect(floating.node().value("rect"));
        if (rect.width == 400 && rect.left == 1300) return true;
        swaymsg("[app_id=kaptivus-float] floating enable, resize set 400 300, move position 1300 100");
        return false;
    }));
    const SwayTree tree = readSwayTree();
    ASSERT_TRUE(tree.ok()) << tree.error;

    struct Case {
        ScreenPoint point;
        const char* appId; // nullptr: no window
    };
    const std::vector<Case> cases {
        { { 100, 500 }, "kaptivus-left" }, { { 100, 5 }, "kaptivus-left" }, // its title bar
        { { 1100, 800 }, "kaptivus-right" }, { { 1400, 200 }, "kaptivus-float" }, // above the tiled window
        { { 2500, 300 }, nullptr }, // the empty second output
        { { -5, 300 }, nullptr }, // off every output
    };
    for (const auto& c : cases) {
        const auto w = platform::wayland::windowAt(tree, c.point);
        SCOPED_TRACE(std::to_string(c.point.x) + "," + std::to_string(c.point.y));
        ASSERT_EQ(w.has_value(), c.appId != nullptr);
        if (w) {
            EXPECT_EQ(w->appId, c.appId);
        }
    }
}

} // namespace
} // namespace kaptivus::test
