// Screen services against a live X server: grabs compared with pictures put
// on screen, monitors, window rectangles of a framed window, the window under
// a point and the pointer.
#include "platform/Screen.h"

#include "BellWatcher.h"
#include "XTest.h"

#include <QApplication>
#include <cstring>
#include <gtest/gtest.h>

using namespace kaptivus::platform;
namespace xt = kaptivus::test;
using kaptivus::pixels::Picture;

namespace {

// An asymmetric picture: every pixel differs from its neighbours and its
// mirror images, so shifts, flips and channel swaps all show.
uint32_t pattern(int x, int y)
{
    return static_cast<uint32_t>(((x * 7 + 3) & 0xff) << 16 | ((y * 11 + 5) & 0xff) << 8 | ((x * 3 + y * 5) & 0xff));
}

// The grabbed pixel as 0xRRGGBB, read from the raw rows through the device masks.
uint32_t rgbAt(const Picture& p, int x, int y)
{
    const int bytes = p.device().bitsPerPixel / 8;
    uint32_t pixel = 0;
    std::memcpy(&pixel, p.scanLine(y) + x * bytes, static_cast<size_t>(bytes));
    auto channel = [pixel](uint32_t mask) {
        const int shift = __builtin_ctz(mask);
        return ((pixel & mask) >> shift) * 255 / (mask >> shift);
    };
    return channel(p.device().redMask) << 16 | channel(p.device().greenMask) << 8 | channel(p.device().blueMask);
}

// How many pixels of the picture's part (x0, y0, w, h) differ from colourAt.
int mismatches(const Picture& p, int x0, int y0, int w, int h, const std::function<uint32_t(int, int)>& colourAt)
{
    int bad = 0;
    for (int y = y0; y < y0 + h; ++y)
        for (int x = x0; x < x0 + w; ++x)
            if (rgbAt(p, x, y) != colourAt(x, y)) ++bad;
    return bad;
}

class Screen : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!xt::haveDisplay()) GTEST_SKIP() << "no X display";
        ASSERT_TRUE(screenAvailable());
    }
};

} // namespace

TEST_F(Screen, DeviceFormatIsTheRootWindows)
{
    const auto format = screenDeviceFormat();
    EXPECT_EQ(format.depth, 24);
    EXPECT_EQ(format.bitsPerPixel, 32);
    EXPECT_EQ(format.redMask | format.greenMask | format.blueMask, 0xFFFFFFu);
    EXPECT_EQ(format.redMask & format.greenMask, 0u);
    const auto size = xt::screenSize();
    EXPECT_EQ(screenRect(), (ScreenRect { 0, 0, size.width, size.height }));
}

TEST_F(Screen, GrabGivesBackThePictureOnScreenByEveryMethod)
{
    xt::PictureWindow shown({ 100, 50, 64, 48 }, pattern);
    for (GrabMethod method : { GrabMethod::Auto, GrabMethod::SharedMemory, GrabMethod::GetImage }) {
        const Picture grab = grabRect(100, 50, 64, 48, method);
        ASSERT_EQ(grab.width(), 64);
        ASSERT_EQ(grab.height(), 48);
        EXPECT_EQ(grab.format(), kaptivus::pixels::PixelFormat::DeviceDefault);
        EXPECT_EQ(grab.device(), screenDeviceFormat());
        EXPECT_EQ(mismatches(grab, 0, 0, 64, 48, pattern), 0) << "method " << int(method);
        // A part of it starts at the right place.
        const Picture part = grabRect(110, 60, 9, 7, method);
        ASSERT_EQ(part.width(), 9);
        EXPECT_EQ(mismatches(part, 0, 0, 9, 7, [](int x, int y) { return pattern(x + 10, y + 10); }), 0);
    }
}

TEST_F(Screen, RowsArePaddedToFourBytesForOddWidths)
{
    xt::PictureWindow shown({ 0, 0, 33, 5 }, pattern);
    const Picture grab = grabRect(0, 0, 33, 5);
    ASSERT_EQ(grab.width(), 33);
    EXPECT_EQ(grab.stride() % 4, 0);
    EXPECT_GE(grab.stride(), 33 * 4);
    EXPECT_EQ(mismatches(grab, 0, 0, 33, 5, pattern), 0);
}

TEST_F(Screen, GrabPartlyOffScreenIsBlackOutside)
{
    const auto size = xt::screenSize();
    const auto white = [](int, int) { return 0xFFFFFFu; };
    xt::PictureWindow topLeft({ 0, 0, 30, 25 }, white);
    xt::PictureWindow bottomRight({ size.width - 20, size.height - 10, 20, 10 }, white);

    const Picture a = grabRect(-10, -5, 40, 30);
    ASSERT_EQ(a.width(), 40);
    ASSERT_EQ(a.height(), 30);
    EXPECT_EQ(mismatches(a, 0, 0, 40, 5, [](int, int) { return 0u; }), 0);
    EXPECT_EQ(mismatches(a, 0, 5, 10, 25, [](int, int) { return 0u; }), 0);
    EXPECT_EQ(mismatches(a, 10, 5, 30, 25, white), 0);

    const Picture b = grabRect(size.width - 20, size.height - 10, 50, 40);
    ASSERT_EQ(b.width(), 50);
    EXPECT_EQ(mismatches(b, 0, 0, 20, 10, white), 0);
    EXPECT_EQ(mismatches(b, 20, 0, 30, 40, [](int, int) { return 0u; }), 0);
    EXPECT_EQ(mismatches(b, 0, 10, 20, 30, [](int, int) { return 0u; }), 0);

    const Picture c = grabRect(size.width + 100, -500, 5, 5);
    ASSERT_EQ(c.width(), 5);
    EXPECT_EQ(mismatches(c, 0, 0, 5, 5, [](int, int) { return 0u; }), 0);
}

TEST_F(Screen, EmptyOrImpossibleRectanglesGiveEmptyPictures)
{
    EXPECT_TRUE(grabRect(0, 0, 0, 10).isEmpty());
    EXPECT_TRUE(grabRect(0, 0, 10, -1).isEmpty());
    EXPECT_TRUE(grabRect(0, 0, 40000, 10).isEmpty());
    EXPECT_TRUE(grabRect(0, 0, 32767, 32767).isEmpty());
}

TEST_F(Screen, WholeScreenGrabMatchesAnIndependentRead)
{
    const auto size = xt::screenSize();
    xt::PictureWindow shown({ 0, 0, size.width, size.height }, pattern);
    const Picture grab = grabRect(0, 0, size.width, size.height);
    ASSERT_EQ(grab.width(), size.width);
    EXPECT_EQ(mismatches(grab, 0, 0, size.width, size.height, pattern), 0);
}

TEST_F(Screen, OneScreenIsOneMonitor)
{
    const auto size = xt::screenSize();
    const ScreenRect whole { 0, 0, size.width, size.height };
    ASSERT_EQ(monitors(), std::vector<ScreenRect> { whole });
    EXPECT_EQ(virtualDesktop(), whole);
    EXPECT_EQ(monitorRect(0), whole);
    EXPECT_FALSE(monitorRect(1).has_value());
    EXPECT_FALSE(monitorRect(-1).has_value());
}

TEST_F(Screen, SplitScreenGivesTwoMonitorsInTheServersOrder)
{
    const auto size = xt::screenSize();
    const int half = size.width / 2;
    const std::string left = std::to_string(half) + "/254x" + std::to_string(size.height) + "/286+0+0";
    const std::string right = std::to_string(size.width - half) + "/254x" + std::to_string(size.height) + "/286+"
        + std::to_string(half) + "+0";
    ASSERT_EQ(xt::runProgram({ "xrandr", "--setmonitor", "KLEFT", left, "screen" }), 0);
    ASSERT_EQ(xt::runProgram({ "xrandr", "--setmonitor", "KRIGHT", right, "none" }), 0);
    const auto found = monitors();
    const ScreenRect desktop = virtualDesktop();
    xt::runProgram({ "xrandr", "--delmonitor", "KRIGHT" });
    xt::runProgram({ "xrandr", "--delmonitor", "KLEFT" });
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0], (ScreenRect { 0, 0, half, size.height }));
    EXPECT_EQ(found[1], (ScreenRect { half, 0, size.width - half, size.height }));
    EXPECT_EQ(desktop, (ScreenRect { 0, 0, size.width, size.height }));
    EXPECT_EQ(monitors().size(), 1u);
}

TEST_F(Screen, ActiveWindowRectanglesIncludeTheFrameOnlyOutside)
{
    xt::TestWindow window("kaptivus screen test", { 200, 150, 300, 200 }, 0x3060c0);
    ASSERT_TRUE(window.waitForManaged());
    ASSERT_TRUE(window.activate());
    EXPECT_EQ(activeWindow(), window.id());

    const ScreenRect client = windowClientRect(window.id());
    EXPECT_EQ(client.width, 300);
    EXPECT_EQ(client.height, 200);
    const auto geometry = xt::windowRootGeometry(window.id());
    EXPECT_EQ(client, (ScreenRect { geometry.left, geometry.top, geometry.width, geometry.height }));

    // The outer rectangle is the window manager's frame: the one below the root.
    const ScreenRect outer = windowOuterRect(window.id());
    xt::Window frame = window.id();
    while (xt::parentOf(frame) != xt::rootWindow())
        frame = xt::parentOf(frame);
    const auto frameGeometry = xt::windowRootGeometry(frame);
    EXPECT_EQ(outer, (ScreenRect { frameGeometry.left, frameGeometry.top, frameGeometry.width, frameGeometry.height }));
    EXPECT_LT(outer.top, client.top) << "title bar";
    EXPECT_LE(outer.left, client.left);
    EXPECT_GE(outer.right(), client.right());
    EXPECT_GE(outer.bottom(), client.bottom());

    // What the client rectangle grabs is the window's inside, nothing of the frame.
    const Picture inside = grabRect(client.left, client.top, client.width, client.height);
    EXPECT_EQ(mismatches(inside, 0, 0, client.width, client.height, [](int, int) { return 0x3060c0u; }), 0);
}

// A window its client unmaps is withdrawn by the window manager a moment
// later; mapped again only after that, the window manager takes it again.
TEST_F(Screen, AWindowMappedAgainAfterItsWithdrawalIsManagedAgain)
{
    xt::TestWindow window("kaptivus withdrawal test", { 120, 90, 200, 120 }, 0x3060c0);
    ASSERT_TRUE(window.waitForManaged());
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        xt::setMapped(window.id(), false);
        ASSERT_TRUE(awaitWithdrawal(window.id(), 5000));
        xt::setMapped(window.id(), true);
        ASSERT_TRUE(window.waitForManaged());
    }
}

TEST_F(Screen, GoneWindowsHaveEmptyRectangles)
{
    EXPECT_TRUE(windowClientRect(0).isEmpty());
    EXPECT_TRUE(windowOuterRect(0).isEmpty());
    EXPECT_TRUE(windowOuterRect(0x7ffffff).isEmpty());
    EXPECT_TRUE(windowClientRect(0x7ffffff).isEmpty());
}

TEST_F(Screen, WindowUnderAPointIsTheDeepestOne)
{
    xt::TestWindow window("kaptivus point test", { 300, 200, 200, 150 }, 0x208020);
    ASSERT_TRUE(window.waitForManaged());
    const xt::Window control = window.addChild({ 20, 30, 50, 40 }, 0xc02020);
    const ScreenRect client = windowClientRect(window.id());

    EXPECT_EQ(windowAt({ client.left + 25, client.top + 35 }), control);
    EXPECT_EQ(windowAt({ client.left + 150, client.top + 100 }), window.id());
    // A control is its own outer rectangle, not its top-level's frame.
    EXPECT_EQ(windowOuterRect(control), (ScreenRect { client.left + 20, client.top + 30, 50, 40 }));

    // A window on top hides it, unless it is passed over.
    xt::PictureWindow cover({ client.left, client.top, 100, 100 }, [](int, int) { return 0u; });
    EXPECT_EQ(windowAt({ client.left + 25, client.top + 35 }), cover.id());
    EXPECT_EQ(windowAt({ client.left + 25, client.top + 35 }, { cover.id() }), control);

    EXPECT_EQ(windowAt({ -1, 10 }), 0u);
    const auto size = xt::screenSize();
    EXPECT_EQ(windowAt({ size.width, 0 }), 0u);
}

TEST_F(Screen, PointerPositionFollowsThePointer)
{
    xt::movePointer(123, 45);
    EXPECT_EQ(pointerPosition(), (ScreenPoint { 123, 45 }));
    xt::movePointer(7, 600);
    EXPECT_EQ(pointerPosition(), (ScreenPoint { 7, 600 }));
}

TEST_F(Screen, RepaintingTheDesktopRestoresStaleWindows)
{
    xt::TestWindow window("kaptivus repaint test", { 400, 300, 120, 90 }, 0x3060c0);
    ASSERT_TRUE(window.waitForManaged());
    const ScreenRect client = windowClientRect(window.id());
    const auto blue = [](int, int) { return 0x3060c0u; };
    const auto black = [](int, int) { return 0u; };
    ASSERT_TRUE(xt::waitUntil(
        [&] { return mismatches(grabRect(client.left, client.top, 120, 90), 0, 0, 120, 90, blue) == 0; }));
    xt::scribbleOnScreen({ client.left, client.top, 120, 90 }, 0);
    ASSERT_EQ(mismatches(grabRect(client.left, client.top, 120, 90), 0, 0, 120, 90, black), 0);

    repaintDesktop();
    EXPECT_TRUE(xt::waitUntil(
        [&] { return mismatches(grabRect(client.left, client.top, 120, 90), 0, 0, 120, 90, blue) == 0; }));
    // Nothing of the repaint stays on screen.
    EXPECT_EQ(windowAt({ client.left + 5, client.top + 5 }), window.id());
}

TEST_F(Screen, BeepRingsTheDisplaysBell)
{
    kaptivus::test::BellWatcher bells;
    ASSERT_TRUE(bells.isWatching());
    beep();
    ASSERT_TRUE(bells.waitForCount(1));
    beep();
    EXPECT_TRUE(bells.waitForCount(2));
    // The toolkit's beep is seen the same way.
    QApplication::beep();
    EXPECT_TRUE(bells.waitForCount(3));
}
