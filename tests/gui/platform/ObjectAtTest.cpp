// The desktop object under a point, as the object picker means it: a control
// inside a client, the client where it has none, the whole framed window on
// the window manager's frame; and the monitors followed as they change.
#include "platform/MonitorWatcher.h"
#include "platform/Screen.h"

#include "XTest.h"

#include <QApplication>
#include <gtest/gtest.h>

using namespace kaptivus::platform;
namespace xt = kaptivus::test;
using namespace std::chrono_literals;

namespace {

class ObjectAt : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!xt::haveDisplay()) GTEST_SKIP() << "no X display";
    }
};

} // namespace

TEST_F(ObjectAt, ControlClientOrWholeFramedWindow)
{
    xt::TestWindow window("kaptivus object test", {300, 200, 240, 160}, 0x208020);
    ASSERT_TRUE(window.waitForManaged());
    const xt::Window control = window.addChild({20, 30, 50, 40}, 0xc02020);
    xt::sync();
    const ScreenRect client = windowClientRect(window.id());
    const ScreenRect outer = windowOuterRect(window.id());
    ASSERT_LT(outer.top, client.top) << "a title bar above the client";

    struct Case {
        const char* where;
        ScreenPoint point;
        WindowId object;
        ScreenRect rect;
    };
    const Case cases[] = {
        {"on the control", {client.left + 25, client.top + 35}, control, {client.left + 20, client.top + 30, 50, 40}},
        {"in the client beside it", {client.left + 150, client.top + 100}, window.id(), outer},
        {"on the title bar", {client.left + 100, outer.top + (client.top - outer.top) / 2}, window.id(), outer},
    };
    for (const Case& c : cases) {
        const WindowId found = objectAt(c.point);
        EXPECT_EQ(found, c.object) << c.where;
        EXPECT_EQ(windowOuterRect(found), c.rect) << c.where;
    }

    // A window laid over everything (a selector) is looked through when named.
    xt::PictureWindow cover({0, 0, 1000, 800}, [](int, int) { return 0u; });
    EXPECT_EQ(objectAt(cases[0].point), cover.id());
    EXPECT_EQ(objectAt(cases[0].point, {cover.id()}), control);
    EXPECT_EQ(objectAt({-5, 5}), 0u);
}

TEST_F(ObjectAt, MonitorWatcherSignalsDefinedAndDeletedMonitors)
{
    MonitorWatcher watcher;
    ASSERT_TRUE(watcher.isWatching());
    int changes = 0;
    QObject::connect(&watcher, &MonitorWatcher::monitorsChanged, [&] { ++changes; });
    const auto size = xt::screenSize();
    const int half = size.width / 2;
    const std::string right = std::to_string(size.width - half) + "/254x" + std::to_string(size.height) + "/286+"
                              + std::to_string(half) + "+0";
    const std::string left = std::to_string(half) + "/254x" + std::to_string(size.height) + "/286+0+0";
    ASSERT_EQ(xt::runProgram({"xrandr", "--setmonitor", "WLEFT", left, "screen"}), 0);
    ASSERT_EQ(xt::runProgram({"xrandr", "--setmonitor", "WRIGHT", right, "none"}), 0);
    EXPECT_TRUE(xt::waitUntil([&] { return changes > 0; }, 5s));
    EXPECT_EQ(monitors().size(), 2u);
    changes = 0;
    xt::runProgram({"xrandr", "--delmonitor", "WRIGHT"});
    xt::runProgram({"xrandr", "--delmonitor", "WLEFT"});
    EXPECT_TRUE(xt::waitUntil([&] { return changes > 0; }, 5s));
    EXPECT_EQ(monitors().size(), 1u);
}
