// Captures by hotkey, checked from outside: a known picture on the screen, the
// picture the agent puts on the clipboard read back by another client.
#include "AgentProcess.h"
#include "BellWatcher.h"

#include <QImage>
#include <QProcess>

#include <gtest/gtest.h>

using namespace kaptivus;
using namespace kaptivus::e2e;

namespace {

constexpr uint32_t keysymF6 = 0xffc3;

// An asymmetric pattern: a flip, a shift or a channel swap shows at once.
uint32_t pattern(int x, int y)
{
    const uint32_t r = static_cast<uint32_t>((x * 7 + y) & 0xFF);
    const uint32_t g = static_cast<uint32_t>((y * 3) & 0xFF);
    const uint32_t b = static_cast<uint32_t>((x ^ y) & 0xFF);
    return (r << 16) | (g << 8) | b;
}

bool waitShown(AgentProcess& agent) { return test::waitUntil([&] { return agent.pictureWindowShown(); }, 10s); }

} // namespace

TEST(Capture, PrintScreenShowsTheDesktopExactlyAndCopiesIt)
{
    writeSettingsFile(defaultSettingsBody({{"ClipBoard", "dword:00000001"}, {"Sound", "dword:00000000"}}));
    const test::Rect screen = test::screenSize();
    test::PictureWindow known(screen, pattern);
    AgentProcess agent;
    ASSERT_TRUE(agent.start());
    const auto pressed = std::chrono::steady_clock::now();
    ASSERT_TRUE(test::pressKey(test::keysym::Print));
    ASSERT_TRUE(waitShown(agent));
    const auto shownAfter = std::chrono::steady_clock::now() - pressed;
    std::printf("key press to picture window shown: %.1f ms\n",
                std::chrono::duration<double, std::milli>(shownAfter).count());
    const QImage picture = clipboardPicture();
    ASSERT_EQ(picture.width(), screen.width);
    ASSERT_EQ(picture.height(), screen.height);
    int wrong = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) wrong += rgbOf(picture, x, y) != pattern(x, y) ? 1 : 0;
    EXPECT_EQ(wrong, 0);
    const std::string title = test::stringProperty(agent.findWindow("Kaptivus 2000"), "_NET_WM_NAME");
    EXPECT_EQ(title.rfind("Kaptivus 2000   v5.10 complet", 0), 0u) << title;
    // The clipboard keeps the picture after the window has gone.
    closePictureWindow(agent);
    EXPECT_EQ(clipboardPicture().size(), picture.size());
    agent.terminate();
    ASSERT_TRUE(agent.waitForExit());
}

TEST(Capture, AltPrintScreenTakesTheActiveWindowWithItsFrame)
{
    writeSettingsFile(defaultSettingsBody({{"ClipBoard", "dword:00000001"}, {"Sound", "dword:00000000"}}));
    test::TestWindow window("Capture me", {200, 150, 320, 240}, 0x20a040);
    ASSERT_TRUE(window.waitForManaged());
    AgentProcess agent;
    ASSERT_TRUE(agent.start());
    ASSERT_TRUE(window.activate());
    const test::Rect client = test::windowRootGeometry(window.id());
    const auto extents = test::cardinalProperty(window.id(), "_NET_FRAME_EXTENTS"); // left, right, top, bottom
    ASSERT_EQ(extents.size(), 4u);
    ASSERT_TRUE(test::pressKey(test::keysym::Print, test::Alt));
    ASSERT_TRUE(waitShown(agent));
    const QImage picture = clipboardPicture();
    EXPECT_EQ(picture.width(), client.width + static_cast<int>(extents[0] + extents[1]));
    EXPECT_EQ(picture.height(), client.height + static_cast<int>(extents[2] + extents[3]));
    // The client area sits inside the frame.
    const int cx = static_cast<int>(extents[0]) + client.width / 2;
    const int cy = static_cast<int>(extents[2]) + client.height / 2;
    EXPECT_EQ(rgbOf(picture, cx, cy), 0x20a040u);
    closePictureWindow(agent);
    agent.terminate();
    ASSERT_TRUE(agent.waitForExit());
}

TEST(Capture, ThePointerIsDrawnWhereItWas)
{
    writeSettingsFile(defaultSettingsBody(
        {{"ClipBoard", "dword:00000001"}, {"Cursor", "dword:00000001"}, {"Sound", "dword:00000000"}}));
    const test::Rect screen = test::screenSize();
    test::PictureWindow grey(screen, [](int, int) { return 0x808080u; });
    AgentProcess agent;
    ASSERT_TRUE(agent.start());
    test::movePointer(300, 200);
    ASSERT_TRUE(test::pressKey(test::keysym::Print));
    ASSERT_TRUE(waitShown(agent));
    const QImage picture = clipboardPicture();
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(rgbOf(picture, 300, 200), 0x000000u); // the arrow's tip
    EXPECT_EQ(rgbOf(picture, 301, 202), 0xFFFFFFu); // its white inside
    EXPECT_EQ(rgbOf(picture, 312, 200), 0x808080u); // beside it, the screen
    EXPECT_EQ(rgbOf(picture, 299, 200), 0x808080u);
    closePictureWindow(agent);
    agent.terminate();
    ASSERT_TRUE(agent.waitForExit());
}

TEST(Capture, ClipboardActionCopiesShowsANoticeAndFreesTheGate)
{
    // Action 103 (desktop to the clipboard) on F6.
    writeSettingsFile(defaultSettingsBody({{"HotKey2", "dword:00000075"}, {"IndexH2", "dword:00000007"},
                                           {"Sound", "dword:00000000"}}));
    const test::Rect screen = test::screenSize();
    test::PictureWindow known(screen, pattern);
    AgentProcess agent;
    ASSERT_TRUE(agent.start());
    ASSERT_TRUE(test::pressKey(keysymF6));
    test::Window notice = 0;
    ASSERT_TRUE(test::waitUntil(
        [&] { return (notice = agent.findWindow("Message d'information")) != 0 && test::isViewable(notice); }, 10s));
    const QImage picture = clipboardPicture();
    ASSERT_EQ(picture.width(), screen.width);
    EXPECT_EQ(rgbOf(picture, 10, 20), pattern(10, 20));
    EXPECT_FALSE(agent.pictureWindowShown());
    // The notice goes by itself after about a second.
    EXPECT_TRUE(test::waitUntil([&] { return !test::isViewable(notice); }, 5s));
    // The gate is open again at once.
    ASSERT_TRUE(test::pressKey(test::keysym::Print));
    EXPECT_TRUE(waitShown(agent));
    agent.terminate();
    ASSERT_TRUE(agent.waitForExit());
}

TEST(Capture, WithoutASoundDeviceEachShutterIsABellAndTheStandardErrorStaysClean)
{
    // " Son" is on by default; this machine has no sound device. The sound
    // libraries' complaints would go to the agent's standard error.
    AgentProcess agent;
    ASSERT_TRUE(agent.start());
    (void)agent.output();
    test::BellWatcher bells;
    ASSERT_TRUE(bells.isWatching());
    for (int capture = 1; capture <= 3; ++capture) {
        SCOPED_TRACE(capture);
        ASSERT_TRUE(test::pressKey(test::keysym::Print));
        ASSERT_TRUE(waitShown(agent));
        EXPECT_TRUE(bells.waitForCount(capture));
        closePictureWindow(agent);
    }
    EXPECT_EQ(bells.count(), 3);
    EXPECT_EQ(agent.output().toStdString(), "");
    agent.terminate();
    ASSERT_TRUE(agent.waitForExit());
}
