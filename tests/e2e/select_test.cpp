// Area and object captures by hotkey with the real program: a known picture on
// the screen, the pointer and buttons driven through XTest, the picture read
// back from the clipboard by another client.
#include "AgentProcess.h"

#include <QImage>
#include <QProcess>

#include <optional>

#include <gtest/gtest.h>

using namespace kaptivus;
using namespace kaptivus::e2e;

namespace {

constexpr uint32_t keysymShiftL = 0xffe1;

uint32_t pattern(int x, int y)
{
    const uint32_t r = static_cast<uint32_t>((x * 7 + y) & 0xFF);
    const uint32_t g = static_cast<uint32_t>((y * 3 + x / 256) & 0xFF);
    const uint32_t b = static_cast<uint32_t>((x ^ y) & 0xFF);
    return (r << 16) | (g << 8) | b;
}

// The clipboard's picture once it has the size; null after the deadline.
QImage waitForClipboardPicture(QSize size)
{
    QImage picture;
    test::waitUntil([&] { return (picture = clipboardPicture()).size() == size; }, 10s);
    if (picture.size() == size) return picture;
    ADD_FAILURE() << "the clipboard holds " << picture.width() << " x " << picture.height();
    return {};
}

// Pixels of the picture that differ from the pattern at the rectangle's place.
int wrongPixels(const QImage& picture, int left, int top, const test::ColourAt& colourAt = pattern)
{
    int wrong = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) wrong += rgbOf(picture, x, y) != colourAt(left + x, top + y);
    return wrong;
}

// Area to the clipboard (109) on F7, object to the clipboard (112) on F8.
std::string selectSettings(const std::vector<std::pair<std::string, std::string>>& more = {})
{
    std::vector<std::pair<std::string, std::string>> values{
        {"HotKey8", "dword:00000076"}, {"IndexH8", "dword:00000008"}, {"HotKey11", "dword:00000077"},
        {"IndexH11", "dword:00000009"}, {"Sound", "dword:00000000"}};
    values.insert(values.end(), more.begin(), more.end());
    return defaultSettingsBody(values);
}

// The selector is up and takes input once the pointer is grabbed.
bool openSelector(uint32_t key)
{
    return test::pressKey(key) && test::waitUntil([] { return test::pointerGrabbedElsewhere(); }, 10s);
}

// A picture window shortcut that opens a selector; pressed again if the
// window was not yet taking keys (just shown again, it may not have them).
bool openSelectorByShortcut(test::Window window, uint32_t key, std::chrono::steady_clock::time_point& pressed)
{
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (attempt > 0) {
            // A click on the title bar, as a user would, makes the window take keys.
            const test::Rect inside = test::windowRootGeometry(window);
            test::movePointer(inside.left + inside.width / 2, inside.top - 8);
            test::clickButton(1);
        }
        pressed = std::chrono::steady_clock::now();
        if (!test::pressKey(key, test::Ctrl)) return false;
        if (test::waitUntil([] { return test::pointerGrabbedElsewhere(); }, 5s)) return true;
    }
    return false;
}

bool selectorGone() { return test::waitUntil([] { return !test::pointerGrabbedElsewhere(); }, 10s); }

void drag(QPoint from, const std::vector<QPoint>& path)
{
    test::movePointer(from.x(), from.y());
    test::buttonDown(1);
    for (QPoint p : path) test::movePointer(p.x(), p.y());
    test::buttonUp(1);
}

bool noticeGone(AgentProcess& agent)
{
    return test::waitUntil([&] {
        const auto notice = agent.findWindow("Message d'information");
        return notice == 0 || !test::isViewable(notice);
    }, 10s);
}

// The preset menu: a window of the agent the size of a menu.
bool menuShown(const AgentProcess& agent)
{
    for (test::Window w : windowsOfPid(agent.pid())) {
        const test::Rect r = test::windowRootGeometry(w);
        if (test::isViewable(w) && r.width >= 100 && r.width < 600 && r.height >= 40 && r.height < 300) return true;
    }
    return false;
}

class Select : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!test::haveDisplay()) GTEST_SKIP() << "no X display";
        screen = test::screenSize();
    }
    void TearDown() override
    {
        if (!agent.isRunning()) return;
        agent.terminate();
        EXPECT_TRUE(agent.waitForExit());
    }
    // The agent with the test's hotkeys, over the known picture unless told otherwise.
    bool start(const std::vector<std::pair<std::string, std::string>>& settings = {}, bool overPattern = true)
    {
        writeSettingsFile(selectSettings(settings));
        if (overPattern) known.emplace(screen, pattern);
        return agent.start();
    }
    // The clipboard holds exactly the cut of the known picture; the selector and the notice have gone.
    void expectCut(const QRect& cut)
    {
        const QImage picture = waitForClipboardPicture(cut.size());
        ASSERT_FALSE(picture.isNull());
        EXPECT_EQ(wrongPixels(picture, cut.left(), cut.top()), 0);
        ASSERT_TRUE(selectorGone());
        ASSERT_TRUE(noticeGone(agent));
    }

    test::Rect screen;
    std::optional<test::PictureWindow> known;
    AgentProcess agent;
};

} // namespace

TEST_F(Select, DragCapturesExactlyTheCutOfTheSnapshotInEitherDirection)
{
    ASSERT_TRUE(start());
    struct Case {
        const char* name;
        QPoint from;
        QPoint to;
        QRect cut;
    };
    const Case cases[] = {
        {"down and right", {100, 80}, {399, 279}, QRect(100, 80, 300, 200)},
        {"up and left", {899, 619}, {700, 500}, QRect(700, 500, 200, 120)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto pressed = std::chrono::steady_clock::now();
        ASSERT_TRUE(openSelector(test::keysym::F7));
        std::printf("key press to selector taking input: %.1f ms\n",
                    std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - pressed).count());
        drag(c.from, {(c.from + c.to) / 2, c.to});
        expectCut(c.cut);
    }
}

TEST_F(Select, SmallFirstDragTakesTheWholeSnapshotAndTheSixteenPresetSeventeen)
{
    ASSERT_TRUE(start());

    // 10 x 10 on the first selection of the run: the whole desktop.
    ASSERT_TRUE(openSelector(test::keysym::F7));
    drag({300, 300}, {{305, 305}, {309, 309}});
    expectCut(QRect(0, 0, screen.width, screen.height));

    // Right button: the preset menu; its first entry is 16 x 16.
    ASSERT_TRUE(openSelector(test::keysym::F7));
    test::movePointer(300, 300);
    test::buttonDown(3);
    test::buttonUp(3);
    ASSERT_TRUE(test::waitUntil([&] { return menuShown(agent); }, 5s));
    test::pressKey(0xff54); // Down: the first entry
    test::pressKey(test::keysym::Return);
    // The selector has the pointer again once the menu has gone.
    ASSERT_TRUE(test::waitUntil([&] { return !menuShown(agent); }, 5s));
    ASSERT_TRUE(test::waitUntil([] { return test::pointerGrabbedElsewhere(); }, 5s));
    drag({400, 400}, {{410, 420}, {420, 430}});
    // The pointer's pixel (420, 430) is the bottom-right one.
    expectCut(QRect(404, 414, 17, 17));
}

TEST_F(Select, MoveWithShiftLeavesTheFrameAndTheSnapshotStaysFrozen)
{
    ASSERT_TRUE(start());
    ASSERT_TRUE(openSelector(test::keysym::F7));
    // A window that appears over the area after the selector opened is not in the picture.
    test::PictureWindow late({120, 120, 100, 50}, [](int, int) { return 0xff0000u; });
    test::movePointer(100, 100);
    test::buttonDown(1);
    test::movePointer(200, 150);
    test::movePointer(299, 199);
    // The frame's corner shows inverted once the move has been handled (the
    // toolkit would fold it into a later move otherwise).
    ASSERT_TRUE(test::waitUntil([] { return test::screenPixel(299, 199) == (~pattern(299, 199) & 0xFFFFFF); }, 5s));
    ASSERT_TRUE(test::keyDown(keysymShiftL));
    test::movePointer(600, 500);
    ASSERT_TRUE(test::keyUp(keysymShiftL));
    test::buttonUp(1);
    expectCut(QRect(100, 100, 200, 100));
}

TEST_F(Select, EscapeClosesEitherSelectorWithoutAPictureAndTheNextHotkeyWorks)
{
    ASSERT_TRUE(start());
    for (uint32_t key : {test::keysym::F7, test::keysym::F8, test::keysym::F7}) {
        ASSERT_TRUE(openSelector(key));
        ASSERT_TRUE(test::pressKey(test::keysym::Escape));
        ASSERT_TRUE(selectorGone());
    }
    EXPECT_TRUE(clipboardPicture().isNull());
    EXPECT_FALSE(agent.pictureWindowShown());
    // The gate is open: Print Screen shows the picture window.
    ASSERT_TRUE(test::pressKey(test::keysym::Print));
    EXPECT_TRUE(test::waitUntil([&] { return agent.pictureWindowShown(); }, 10s));
}

TEST_F(Select, ObjectPickerTakesATerminalsTextWindowOrTheWholeFramedTerminal)
{
    QProcess terminal;
    terminal.start(QStringLiteral("xterm"), {"-geometry", "60x12+500+300", "-title", "kaptivus term"});
    ASSERT_TRUE(terminal.waitForStarted());
    const test::Window client = test::waitForWindowByTitle("kaptivus term", 10s);
    ASSERT_NE(client, 0u);
    ASSERT_TRUE(test::waitUntil(
        [&] { return test::parentOf(client) != test::rootWindow() && test::isViewable(client); }, 10s));
    const auto texts = test::childrenOf(client);
    ASSERT_FALSE(texts.empty());
    const test::Rect text = test::windowBorderBox(texts.back());
    const test::Rect inside = test::windowRootGeometry(client);
    test::Window frame = client;
    while (test::parentOf(frame) != test::rootWindow()) frame = test::parentOf(frame);
    const test::Rect outer = test::windowRootGeometry(frame);
    ASSERT_LT(outer.top, inside.top);
    ASSERT_TRUE(start({}, false));

    struct Case {
        const char* name;
        QPoint at;
        test::Rect expected;
    };
    const Case cases[] = {
        {"the text area", {inside.left + 40, inside.top + 30}, text},
        {"the title bar", {inside.left + 150, (outer.top + inside.top) / 2}, outer},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(openSelector(test::keysym::F8));
        // What the picker shows is its snapshot (the terminal draws itself
        // otherwise once it has lost the focus).
        const std::vector<uint32_t> onScreen = test::readScreen(c.expected);
        test::movePointer(c.at.x(), c.at.y());
        test::clickButton(1);
        const QImage picture = waitForClipboardPicture({c.expected.width, c.expected.height});
        ASSERT_FALSE(picture.isNull());
        int wrong = 0;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                wrong += rgbOf(picture, x, y) != onScreen[size_t(y * c.expected.width + x)];
        EXPECT_EQ(wrong, 0);
        ASSERT_TRUE(selectorGone());
        ASSERT_TRUE(noticeGone(agent));
    }
    terminal.terminate();
    terminal.waitForFinished(5000);
}

TEST_F(Select, SecondMonitorCapturesTheRightHandPartAndAGoneMonitorTheWholeDesktop)
{
    // Two monitors on the one wide screen, as a user makes them with xrandr.
    const int half = screen.width / 2;
    const std::string size = std::to_string(half) + "/254x" + std::to_string(screen.height) + "/286";
    struct Monitors {
        std::string size;
        int half;
        bool made = test::runProgram({"xrandr", "--setmonitor", "KL", size + "+0+0", "screen"}) == 0
                    && test::runProgram({"xrandr", "--setmonitor", "KR", size + "+" + std::to_string(half) + "+0",
                                         "none"}) == 0;
        void remove()
        {
            test::runProgram({"xrandr", "--delmonitor", "KR"});
            test::runProgram({"xrandr", "--delmonitor", "KL"});
        }
        ~Monitors() { remove(); }
    } monitors{size, half};
    ASSERT_TRUE(monitors.made);
    ASSERT_TRUE(start({{"ClipBoard", "dword:00000001"}, {"Monitor_0", "dword:00000000"},
                       {"Monitor_2", "dword:00000001"}, {"Cursor", "dword:00000001"}}));
    // The pointer is drawn where it was: shifted by the monitor's origin.
    test::movePointer(half + 300, 200);
    ASSERT_TRUE(test::pressKey(test::keysym::Print));
    ASSERT_TRUE(test::waitUntil([&] { return agent.pictureWindowShown(); }, 10s));
    QImage picture = waitForClipboardPicture({half, screen.height});
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(rgbOf(picture, 300, 200), 0x000000u) << "the arrow's tip";
    int wrong = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            if (y > 240 || x < 290 || x > 340) wrong += rgbOf(picture, x, y) != pattern(half + x, y);
    EXPECT_EQ(wrong, 0);
    closePictureWindow(agent);

    // The monitors go away while the agent runs: the whole desktop again,
    // once the agent has heard of it.
    monitors.remove();
    bool whole = false;
    for (int attempt = 0; attempt < 5 && !whole; ++attempt) {
        ASSERT_TRUE(test::pressKey(test::keysym::Print));
        ASSERT_TRUE(test::waitUntil([&] { return agent.pictureWindowShown(); }, 10s));
        // The picture is on the clipboard before the window shows.
        whole = clipboardPicture().width() == screen.width;
        closePictureWindow(agent);
    }
    EXPECT_TRUE(whole);
}

TEST_F(Select, ZoneFromThePictureWindowHidesItWaitsTheDelayAndShowsTheCut)
{
    // "CaptureDelay" 2000 (the 2-second item): 1200 ms between hiding and the selector.
    ASSERT_TRUE(start({{"ClipBoard", "dword:00000001"}, {"CaptureDelay", "dword:000007d0"}}));
    ASSERT_TRUE(test::pressKey(test::keysym::Print));
    ASSERT_TRUE(test::waitUntil([&] { return agent.pictureWindowShown(); }, 10s));
    const auto main = agent.findWindow("Kaptivus 2000   v5.10 complet");
    // The window's shortcuts work once it has the keyboard focus.
    ASSERT_TRUE(test::waitUntil([&] { return test::inputFocus() == main; }, 5s));
    std::chrono::steady_clock::time_point pressed;
    ASSERT_TRUE(openSelectorByShortcut(main, 0x72, pressed)); // r
    EXPECT_GE(std::chrono::steady_clock::now() - pressed, 1200ms);
    EXPECT_FALSE(agent.pictureWindowShown()) << "hidden while choosing";
    drag({50, 60}, {{100, 100}, {149, 139}});
    ASSERT_TRUE(test::waitUntil([&] { return agent.pictureWindowShown(); }, 10s));
    const QImage picture = waitForClipboardPicture({100, 80});
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(wrongPixels(picture, 50, 60), 0);

}
