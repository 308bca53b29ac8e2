// Area and object captures by hotkey with the real program: a known picture on
// the screen, the pointer and buttons driven through XTest, the picture read
// back from the clipboard by another client.
#include "AgentProcess.h"

#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>

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
    // Two cuts in a row can have the same size: without this, the clipboard
    // could still hold the last one when the new one is looked for.
    return test::clearSelection("CLIPBOARD") && test::pressKey(key)
           && test::waitUntil([] { return test::pointerGrabbedElsewhere(); }, 10s);
}

// Both grabs gone: a key pressed while the closing selector still holds the
// keyboard would go to it, not to the agent's hotkeys.
bool selectorGone()
{
    return test::waitUntil([] { return !test::pointerGrabbedElsewhere() && !test::keyboardGrabbedElsewhere(); }, 10s);
}

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

// A desktop scale as the agent finds it at start: the X resources' Xft.dpi,
// which desktops set for dense screens, or the toolkit's own variables.
struct Scale {
    const char* name;
    const char* xftDpi; // nullptr: no X resource
    std::vector<std::pair<const char*, const char*>> environment;
};

const Scale Scales[] = {
    {"ratio 1", nullptr, {}},
    {"Xft.dpi 144", "144", {}},
    {"Xft.dpi 192", "192", {}},
    {"QT_SCALE_FACTOR 1.5", nullptr, {{"QT_SCALE_FACTOR", "1.5"}}},
    {"QT_SCALE_FACTOR 2", nullptr, {{"QT_SCALE_FACTOR", "2"}}},
};

// Colours of the settings file (0x00BBGGRR) from the pattern's 0xRRGGBB.
uint32_t settingsColour(uint32_t rgb) { return ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF); }

// The frame's dots are the pixels whose coordinates add up to an even number.
bool frameDotShown(QPoint p)
{
    return test::waitUntil([&] { return test::screenPixel(p.x(), p.y()) == (~pattern(p.x(), p.y()) & 0xFFFFFF); },
                           5s);
}

// Pixels of the screen's rectangle that differ from the pattern's own top-left part.
int screenBlockOffPattern(const test::Rect& block)
{
    const std::vector<uint32_t> shown = test::readScreen(block);
    int wrong = 0;
    for (int y = 0; y < block.height; ++y)
        for (int x = 0; x < block.width; ++x) wrong += shown[size_t(y * block.width + x)] != pattern(x, y);
    return wrong;
}

// Where the picture's top-left pixel shows inside the rectangle: the first
// place where a 16 x 16 block of the screen is the pattern's own corner.
std::optional<QPoint> patternCornerIn(const test::Rect& area)
{
    const std::vector<uint32_t> shown = test::readScreen(area);
    const auto at = [&](int x, int y) { return shown[size_t(y * area.width + x)]; };
    for (int y = 0; y + 16 <= area.height; ++y)
        for (int x = 0; x + 16 <= area.width; ++x) {
            bool same = true;
            for (int v = 0; v < 16 && same; ++v)
                for (int u = 0; u < 16 && same; ++u) same = at(x + u, y + v) == pattern(u, v);
            if (same) return QPoint(area.left + x, area.top + y);
        }
    return std::nullopt;
}

// Two monitors on the one wide screen, as a user makes them with xrandr;
// gone again when the object is.
struct Monitors {
    explicit Monitors(const test::Rect& screen)
        : half(screen.width / 2)
    {
        const std::string size = std::to_string(half) + "/254x" + std::to_string(screen.height) + "/286";
        made = test::runProgram({"xrandr", "--setmonitor", "KL", size + "+0+0", "screen"}) == 0
               && test::runProgram({"xrandr", "--setmonitor", "KR", size + "+" + std::to_string(half) + "+0", "none"})
                      == 0;
    }
    void remove()
    {
        test::runProgram({"xrandr", "--delmonitor", "KR"});
        test::runProgram({"xrandr", "--delmonitor", "KL"});
    }
    ~Monitors() { remove(); }
    int half;
    bool made = false;
};

class Select : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!test::haveDisplay()) GTEST_SKIP() << "no X display";
        screen = test::screenSize();
    }
    void TearDown() override
    {
        stop();
        if (resourcesSet) test::runProgram({"xrdb", "-remove"});
    }
    void stop()
    {
        if (!agent.isRunning()) return;
        agent.terminate();
        EXPECT_TRUE(agent.waitForExit());
    }
    // The agent started afresh at the scale.
    bool startAt(const Scale& scale, const std::vector<std::pair<std::string, std::string>>& settings = {},
                 bool overPattern = true)
    {
        stop();
        known.reset();
        if (scale.xftDpi) {
            const std::string line = std::string("Xft.dpi: ") + scale.xftDpi;
            resourcesSet = test::runProgram({"sh", "-c", "echo '" + line + "' | xrdb -merge"}) == 0;
            if (!resourcesSet) return false;
        } else if (resourcesSet) {
            test::runProgram({"xrdb", "-remove"});
            resourcesSet = false;
        }
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const auto& [name, value] : scale.environment) environment.insert(name, value);
        agent.process().setProcessEnvironment(environment);
        return start(settings, overPattern);
    }
    // The agent with the test's hotkeys, over the known picture unless told otherwise.
    bool start(const std::vector<std::pair<std::string, std::string>>& settings = {}, bool overPattern = true)
    {
        writeSettingsFile(selectSettings(settings));
        if (overPattern) known.emplace(screen, pattern);
        // The hotkeys are taken one by one: the test's own ones before any is pressed.
        return agent.start() && test::waitUntil([&] { return agent.holdsHotkey(109) && agent.holdsHotkey(112); }, 10s);
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
    bool resourcesSet = false;
};

} // namespace

TEST_F(Select, AtEveryScaleTheSelectorShowsTheSnapshotPixelForPixelAndCutsWhereThePointerDrags)
{
    struct Drag {
        const char* name;
        QPoint from;
        QPoint to;
        QRect cut;
    };
    // Corners on the frame's dots (even coordinate sums), so that they show inverted.
    const Drag drags[] = {
        {"down and right", {100, 80}, {399, 299}, QRect(100, 80, 300, 220)},
        {"up and left", {899, 619}, {700, 502}, QRect(700, 502, 200, 118)},
    };
    for (const Scale& scale : Scales) {
        SCOPED_TRACE(scale.name);
        ASSERT_TRUE(startAt(scale));
        for (const Drag& d : drags) {
            SCOPED_TRACE(d.name);
            const auto pressed = std::chrono::steady_clock::now();
            ASSERT_TRUE(openSelector(test::keysym::F7));
            std::printf("%s: key press to selector taking input: %.1f ms\n", scale.name,
                        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - pressed).count());
            test::movePointer(d.from.x(), d.from.y());
            test::buttonDown(1);
            test::movePointer((d.from.x() + d.to.x()) / 2, (d.from.y() + d.to.y()) / 2);
            test::movePointer(d.to.x(), d.to.y());
            // The frame is drawn where the pointer is, on the device pixels.
            EXPECT_TRUE(frameDotShown(d.to));
            EXPECT_TRUE(frameDotShown(d.from));
            test::buttonUp(1);
            expectCut(d.cut);
        }
        // The pattern's own window goes; what still shows is the selector's snapshot.
        ASSERT_TRUE(openSelector(test::keysym::F7));
        known.reset();
        EXPECT_EQ(screenBlockOffPattern(screen), 0) << "the snapshot is shown pixel for pixel";
        ASSERT_TRUE(test::pressKey(test::keysym::Escape));
        ASSERT_TRUE(selectorGone());
    }
}

TEST_F(Select, SmallFirstDragTakesTheWholeSnapshotAndTheSixteenPresetSeventeenAtEveryScale)
{
    for (const Scale& scale : Scales) {
        SCOPED_TRACE(scale.name);
        ASSERT_TRUE(startAt(scale));

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
        test::movePointer(400, 400);
        test::buttonDown(1);
        test::movePointer(410, 420);
        test::movePointer(420, 430);
        // The preset frame hangs from the pointer in device pixels.
        EXPECT_TRUE(frameDotShown({420, 430}));
        EXPECT_TRUE(frameDotShown({404, 414}));
        test::buttonUp(1);
        // The pointer's pixel (420, 430) is the bottom-right one.
        expectCut(QRect(404, 414, 17, 17));
    }
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

namespace {

// A terminal with a title, framed by the window manager.
struct Terminal {
    Terminal(const std::string& geometry, const std::string& title)
    {
        process.start(QStringLiteral("xterm"), {"-geometry", QString::fromStdString(geometry), "-title",
                                                QString::fromStdString(title)});
        if (!process.waitForStarted()) return;
        client = test::waitForWindowByTitle(title, 10s);
        if (client == 0
            || !test::waitUntil(
                [&] { return test::parentOf(client) != test::rootWindow() && test::isViewable(client); }, 10s))
            return;
        test::Window frame = client;
        while (test::parentOf(frame) != test::rootWindow()) frame = test::parentOf(frame);
        inside = test::windowRootGeometry(client);
        outer = test::windowRootGeometry(frame);
    }
    ~Terminal()
    {
        process.terminate();
        process.waitForFinished(5000);
    }
    QProcess process;
    test::Window client = 0;
    test::Rect inside;
    test::Rect outer;
};

test::Rect onScreen(const test::Rect& r, const test::Rect& screen)
{
    const int left = std::max(r.left, 0), top = std::max(r.top, 0);
    const int right = std::min(r.left + r.width, screen.width), bottom = std::min(r.top + r.height, screen.height);
    return {left, top, right - left, bottom - top};
}

} // namespace

TEST_F(Select, ObjectPickerTakesTheObjectUnderThePointerAtEveryScaleCutToTheScreen)
{
    Terminal terminal("60x12+500+300", "kaptivus term");
    ASSERT_NE(terminal.client, 0u);
    const auto texts = test::childrenOf(terminal.client);
    ASSERT_FALSE(texts.empty());
    const test::Rect text = test::windowBorderBox(texts.back());
    const test::Rect inside = terminal.inside;
    ASSERT_LT(terminal.outer.top, inside.top);
    // A terminal reaching past the screen's bottom-right corner.
    Terminal beyond("60x12+" + std::to_string(screen.width - 150) + "+" + std::to_string(screen.height - 60),
                    "kaptivus beyond");
    ASSERT_NE(beyond.client, 0u);
    ASSERT_GT(beyond.outer.left + beyond.outer.width, screen.width);
    ASSERT_GT(beyond.outer.top + beyond.outer.height, screen.height);

    struct Case {
        const char* name;
        QPoint at;
        test::Rect expected;
    };
    const Case cases[] = {
        {"the text area", {inside.left + 40, inside.top + 30}, text},
        {"the title bar", {inside.left + 150, (terminal.outer.top + inside.top) / 2}, terminal.outer},
        {"the title bar of one reaching past the screen",
         {beyond.inside.left + 60, (beyond.outer.top + beyond.inside.top) / 2}, onScreen(beyond.outer, screen)},
    };
    for (const Scale& scale : Scales) {
        SCOPED_TRACE(scale.name);
        ASSERT_TRUE(startAt(scale, {}, false));
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            // The readout follows the pointer: kept away from the object while it is read.
            test::movePointer(screen.width - 1, 0);
            const test::Rect corner{0, 0, 200, 80};
            const std::vector<uint32_t> bare = test::readScreen(corner);
            ASSERT_TRUE(openSelector(test::keysym::F8));
            // The picker's first frame brings its readout to the top-left
            // corner with the snapshot; the grab comes before that frame.
            ASSERT_TRUE(test::waitUntil([&] { return test::readScreen(corner) != bare; }, 10s));
            // What the picker shows is its snapshot (the terminal draws itself
            // otherwise once it has lost the focus).
            const std::vector<uint32_t> shown = test::readScreen(c.expected);
            test::movePointer(c.at.x(), c.at.y());
            test::clickButton(1);
            const QImage picture = waitForClipboardPicture({c.expected.width, c.expected.height});
            ASSERT_FALSE(picture.isNull());
            int wrong = 0;
            for (int y = 0; y < picture.height(); ++y)
                for (int x = 0; x < picture.width(); ++x)
                    wrong += rgbOf(picture, x, y) != shown[size_t(y * c.expected.width + x)];
            EXPECT_EQ(wrong, 0);
            ASSERT_TRUE(selectorGone());
            ASSERT_TRUE(noticeGone(agent));
        }
    }
}

TEST_F(Select, PictureWindowShowsThePicturePixelForPixelAndPicksTheDevicePixelAtEveryScale)
{
    for (const Scale& scale : Scales) {
        SCOPED_TRACE(scale.name);
        ASSERT_TRUE(startAt(scale));
        // Away from where the picture will show, so that no hint covers it.
        test::movePointer(screen.width - 1, 0);
        ASSERT_TRUE(test::pressKey(test::keysym::Print));
        ASSERT_TRUE(test::waitUntil([&] { return agent.pictureWindowShown(); }, 10s));
        // The pattern's window covers everything; the picture window shows once it has gone.
        known.reset();
        const auto main = agent.findWindow("Kaptivus 2000   v5.10 complet");
        ASSERT_TRUE(test::waitUntil([&] { return test::activeWindow() == main; }, 5s));
        // The pattern's pixels linger where the window has not repainted yet;
        // the pattern's corner shows again only at the screen's left edge
        // (x = 0), so the picture's corner is looked for to the right of it.
        std::optional<QPoint> corner;
        const auto pictureShown = [&] {
            test::Rect client = onScreen(test::windowRootGeometry(main), screen);
            if (client.left == 0) client = {1, client.top, client.width - 1, client.height};
            corner = patternCornerIn(client);
            return corner && screenBlockOffPattern({corner->x(), corner->y(), 200, 150}) == 0;
        };
        EXPECT_TRUE(test::waitUntil(pictureShown, 5s)) << "the picture is shown pixel for pixel";
        ASSERT_TRUE(corner.has_value());
        // Ctrl+click takes the picture pixel under the pointer into the first swatch, then the second.
        const QPoint picks[] = {{37, 23}, {151, 118}};
        for (QPoint p : picks) {
            test::movePointer(corner->x() + p.x(), corner->y() + p.y());
            ASSERT_TRUE(test::keyDown(0xffe3)); // Control_L
            test::clickButton(1);
            ASSERT_TRUE(test::keyUp(0xffe3));
        }
        closePictureWindow(agent);
        const auto colour = [](const char* name) -> int64_t {
            const auto key = storedSettings();
            const auto* v = key ? key->findValue(name) : nullptr;
            return v ? int64_t(v->dword) : -1;
        };
        EXPECT_TRUE(test::waitUntil([&] { return colour("Color1") == settingsColour(pattern(37, 23)); }, 5s));
        EXPECT_EQ(colour("Color2"), settingsColour(pattern(151, 118)));
    }
}

TEST_F(Select, SecondMonitorCapturesTheRightHandPartAndAGoneMonitorTheWholeDesktop)
{
    Monitors monitors(screen);
    ASSERT_TRUE(monitors.made);
    const int half = monitors.half;
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

    // The monitors go away while the agent runs: the next capture takes the
    // whole desktop, however soon it comes.
    monitors.remove();
    ASSERT_TRUE(test::pressKey(test::keysym::Print));
    ASSERT_TRUE(test::waitUntil([&] { return agent.pictureWindowShown(); }, 10s));
    // The picture is on the clipboard before the window shows.
    EXPECT_EQ(clipboardPicture().width(), screen.width);
    closePictureWindow(agent);
}

TEST_F(Select, MonitorsOfDifferentScalesShowTheSnapshotPixelForPixelAndCutWhereThePointerDrags)
{
    Monitors monitors(screen);
    ASSERT_TRUE(monitors.made);
    const int half = monitors.half;
    const Scale mixed[] = {
        {"left 1, right 2", nullptr, {{"QT_SCREEN_SCALE_FACTORS", "KL=1;KR=2"}}},
        {"left 2, right 1.5", nullptr, {{"QT_SCREEN_SCALE_FACTORS", "KL=2;KR=1.5"}}},
    };
    struct Drag {
        const char* name;
        QPoint from;
        QPoint to;
    };
    // Corners on the frame's dots (even coordinate sums).
    const Drag drags[] = {
        {"on the right monitor", {half + 100, 80}, {half + 399, 299}},
        {"across both", {half - 150, 200}, {half + 149, 419}},
    };
    for (const Scale& scale : mixed) {
        SCOPED_TRACE(scale.name);
        ASSERT_TRUE(startAt(scale));
        for (const Drag& d : drags) {
            SCOPED_TRACE(d.name);
            ASSERT_TRUE(openSelector(test::keysym::F7));
            test::movePointer(d.from.x(), d.from.y());
            test::buttonDown(1);
            test::movePointer(d.to.x(), d.to.y());
            EXPECT_TRUE(frameDotShown(d.to));
            EXPECT_TRUE(frameDotShown(d.from));
            test::buttonUp(1);
            expectCut(QRect(d.from, d.to));
        }
        ASSERT_TRUE(openSelector(test::keysym::F7));
        known.reset();
        EXPECT_EQ(screenBlockOffPattern(screen), 0) << "the snapshot is shown pixel for pixel on both monitors";
        ASSERT_TRUE(test::pressKey(test::keysym::Escape));
        ASSERT_TRUE(selectorGone());
    }
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
    const auto pressed = std::chrono::steady_clock::now();
    ASSERT_TRUE(test::pressKey(0x72, test::Ctrl)); // r
    ASSERT_TRUE(test::waitUntil([] { return test::pointerGrabbedElsewhere(); }, 10s));
    EXPECT_GE(std::chrono::steady_clock::now() - pressed, 1200ms);
    EXPECT_FALSE(agent.pictureWindowShown()) << "hidden while choosing";
    drag({50, 60}, {{100, 100}, {149, 139}});
    ASSERT_TRUE(test::waitUntil([&] { return agent.pictureWindowShown(); }, 10s));
    const QImage picture = waitForClipboardPicture({100, 80});
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(wrongPixels(picture, 50, 60), 0);

}
