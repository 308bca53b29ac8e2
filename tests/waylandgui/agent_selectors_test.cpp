// The real agent driven through its area selector and object picker: started
// with `--capture` as a compositor binding would, the selector handled with the
// compositor's own pointer and keyboard, and the numbered file compared pixel
// for pixel with grim's picture of the desktop taken before.
#include "WaylandAgent.h"
#include "WaylandUser.h"

#include <QProcess>
#include <functional>
#include <gtest/gtest.h>

using namespace kaptivus;
using namespace kaptivus::test;

namespace {

constexpr int kAreaToFile = 108;
constexpr int kAreaToWindow = 107;
constexpr int kObjectToFile = 111;
constexpr int kObjectToWindow = 110;
constexpr int kCancelled = 5;

QImage aroundPointer(const QPoint& p)
{
    return grimArea({ p - QPoint(32, 32), QSize(64, 64) }, true);
}

struct Case {
    const char* name;
    int action;
    std::function<void(User&)> act; // once the selector takes the pointer
    int exitCode;
    QRect expected; // device pixels of the desktop; empty: no picture
};

// The pointer waits there, off every rectangle: sway's headless outputs draw
// it into what screencopy and grim see.
constexpr QPoint kParked(1800, 1000);

// One capture through the agent's selector: the desktop taken, the command
// started, the user acting once the selector has the pointer, the outcome checked.
void captureThrough(const Case& c, User& user, const QImage& desktopPointer, const QRect& frame)
{
    // Drawn red inside and with the desktop's pointer before the desktop is taken.
    ASSERT_TRUE(waitUntil([&] {
        return rgbAt(grimArea({ frame.center(), QSize(1, 1) }), 0, 0) == 0xE03020
            && aroundPointer(kParked) == desktopPointer;
    }));
    const QImage before = expectedDesktop();
    WaylandAgent agent({ { "DefaultExt", QString("\".PNG\"") } });
    ASSERT_TRUE(agent.start()) << agent.errors().toStdString();
    QProcess command;
    agent.launch(command, { "--capture", QString::number(c.action) });
    ASSERT_TRUE(waitUntil([&] { return coveredBy(agent.pid()); })) << "the selector never covered the outputs";
    // The selector's pointer shown: the compositor now sends it the pointer
    // and the keys (a mapped window may still lack its first full-screen frame).
    ASSERT_TRUE(waitUntil([&] {
        user.moveTo(kParked.x() + 1, kParked.y());
        user.moveTo(kParked.x(), kParked.y());
        return aroundPointer(kParked) != desktopPointer;
    })) << "the selector never took the pointer";
    c.act(user);
    ASSERT_TRUE(waitUntil([&] { return command.state() == QProcess::NotRunning; }, 20s));
    EXPECT_EQ(command.exitCode(), c.exitCode) << command.readAllStandardError().toStdString();
    // Gone from the screen, and no picture window in its place.
    EXPECT_TRUE(waitUntil([&] { return windowOfPid(agent.pid()).isEmpty(); }));
    user.moveTo(kParked.x(), kParked.y());
    if (c.expected.isEmpty()) {
        EXPECT_EQ(agent.files(), QStringList());
        return;
    }
    QImage saved;
    ASSERT_TRUE(waitUntil([&] { return !(saved = agent.picture()).isNull(); }));
    EXPECT_EQ(firstDifference(before.copy(c.expected), saved), "");
}

} // namespace

TEST(WaylandAgentSelectors, CommandEndsWithTheChosenPictureOrCancelled)
{
    // Each a layout of the first outputs (sway cannot take one away), and a
    // drag within it; the desktop's device pixels are those of its densest output.
    const struct {
        const char* name;
        std::vector<OutputSetup> outputs;
        int scale;
        QPoint from;
        QPoint to;
    } layouts[] = {
        { "one output at 1", { { 1920, 1080, 0, 0, 1 } }, 1, { 140, 90 }, { 700, 420 } },
        { "at 1, then at 2 to its right, dragged across", { { 1920, 1080, 0, 0, 1 }, { 1280, 720, 1920, 0, 2 } }, 2,
            { 1800, 100 }, { 2100, 300 } },
    };
    Foot foot("kaptivus-pick", 0xE03020, "floating enable, resize set 500 300, move absolute position 300 200");
    ASSERT_TRUE(waitUntil([&] { return jsonRect(foot.node().value("rect")).width == 500; }));
    const platform::ScreenRect f = floatingFrame(foot.node());
    const QRect frame(f.left, f.top, f.width, f.height);
    const QImage bare = aroundPointer(kParked);
    QImage desktopPointer;
    for (const auto& l : layouts) {
        SCOPED_TRACE(l.name);
        arrangeOutputs(l.outputs);
        User user(layoutBounds());
        user.moveTo(kParked.x(), kParked.y());
        if (desktopPointer.isNull()) {
            ASSERT_TRUE(waitUntil([&] { return (desktopPointer = aroundPointer(kParked)) != bare; }));
        }
        const auto drag = [&](User& u) {
            const QRect edge(l.from.x() + 40, l.from.y(), 200, 1);
            const QImage edgeBefore = grimArea(edge);
            u.moveTo(l.from.x(), l.from.y());
            u.press(1);
            u.moveTo((l.from.x() + l.to.x()) / 2, (l.from.y() + l.to.y()) / 2);
            // The frame's top edge drawn, clear of the pointer: the press and the move reached the selector.
            EXPECT_TRUE(waitUntil([&] { return grimArea(edge) != edgeBefore; }));
            u.moveTo(l.to.x(), l.to.y());
            u.release(1);
        };
        const auto pick = [&](User& u) {
            u.moveTo(frame.center().x(), frame.center().y());
            u.click(1);
        };
        const auto escape = [](User& u) { u.keys({ "Escape" }); };
        const Case cases[] = {
            // Both corners' pixels belong to the area.
            { "area dragged to a file", kAreaToFile, drag, 0, QRect(l.from * l.scale, l.to * l.scale) },
            { "area given up with Escape", kAreaToWindow, escape, kCancelled, {} },
            { "foot window picked to a file", kObjectToFile, pick, 0,
                QRect(frame.topLeft() * l.scale, frame.size() * l.scale) },
            { "picker given up with Escape", kObjectToWindow, escape, kCancelled, {} },
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            captureThrough(c, user, desktopPointer, frame);
        }
    }
}
