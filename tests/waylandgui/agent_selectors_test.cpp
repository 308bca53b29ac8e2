// The real agent driven through its area selector and object picker: started
// with `--capture` as a compositor binding would, the selector handled with the
// compositor's own pointer and keyboard, and the numbered file compared pixel
// for pixel with grim's picture of the desktop taken before.
#include "WaylandAgent.h"
#include "WaylandUser.h"

#include <QProcess>
#include <cmath>
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

// Whether a picture of the background shows something else on it.
bool hasPointer(const QImage& picture)
{
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            if (picture.pixel(x, y) != picture.pixel(0, 0)) return true;
    return false;
}

struct Case {
    const char* name;
    int action;
    std::function<void(User&)> act; // once the selector takes the pointer
    int exitCode;
    QRect expected; // device pixels of the desktop; empty: no picture
};

// Where the pointer waits on each output, off every rectangle, and how the
// desktop draws it there: sway's headless outputs draw it into what
// screencopy and grim see. The pointer rests on the first.
struct Parking {
    std::vector<QPoint> points;
    std::vector<QImage> desktopPointers;
};

Parking park(const std::vector<OutputSetup>& outputs, User& user)
{
    Parking parking;
    for (const OutputSetup& o : outputs) {
        const QPoint p(o.x + int(o.width / o.scale) - 80, o.y + int(o.height / o.scale) - 70);
        user.moveTo(p.x(), p.y());
        QImage drawn;
        EXPECT_TRUE(waitUntil([&] { return hasPointer(drawn = aroundPointer(p)); })) << "no pointer at " << p.x() << "," << p.y();
        parking.points.push_back(p);
        parking.desktopPointers.push_back(drawn);
    }
    user.moveTo(parking.points[0].x(), parking.points[0].y());
    return parking;
}

// One capture through the agent's selector: the desktop taken, the command
// started, the user acting once the selector has the pointer, the outcome checked.
void captureThrough(const Case& c, User& user, const Parking& parking, const QRect& frame)
{
    const QPoint rest = parking.points[0];
    // Drawn red inside and with the desktop's pointer before the desktop is taken.
    ASSERT_TRUE(waitUntil([&] {
        return rgbAt(grimArea({ frame.center(), QSize(1, 1) }), 0, 0) == 0xE03020
            && aroundPointer(rest) == parking.desktopPointers[0];
    }));
    const QImage before = expectedDesktop();
    WaylandAgent agent({ { "DefaultExt", QString("\".PNG\"") } });
    ASSERT_TRUE(agent.start()) << agent.errors().toStdString();
    QProcess command;
    agent.launch(command, { "--capture", QString::number(c.action) });
    ASSERT_TRUE(waitUntil([&] { return coveredBy(agent.pid()); })) << "the selector never covered the outputs";
    // The selector's pointer shown on every output: each output's window now
    // gets the pointer and the keys (a mapped window may still lack its first
    // full-screen frame, and a press before the pointer's enter is lost).
    for (size_t i = 0; i < parking.points.size(); ++i) {
        const QPoint p = parking.points[i];
        ASSERT_TRUE(waitUntil([&] {
            user.moveTo(p.x() + 1, p.y());
            user.moveTo(p.x(), p.y());
            return aroundPointer(p) != parking.desktopPointers[i];
        })) << "the selector never took the pointer on output " << i + 1;
    }
    c.act(user);
    ASSERT_TRUE(waitUntil([&] { return command.state() == QProcess::NotRunning; }, 20s));
    EXPECT_EQ(command.exitCode(), c.exitCode) << command.readAllStandardError().toStdString();
    // Gone from the screen, and no picture window in its place.
    EXPECT_TRUE(waitUntil([&] { return windowOfPid(agent.pid()).isEmpty(); }));
    user.moveTo(rest.x(), rest.y());
    if (c.expected.isEmpty()) {
        EXPECT_EQ(agent.files(), QStringList());
        return;
    }
    QImage saved;
    ASSERT_TRUE(waitUntil([&] { return !(saved = agent.picture()).isNull(); }));
    EXPECT_EQ(firstDifference(before.copy(c.expected), saved), "");
}

// A rectangle of layout pixels in the desktop's device pixels, each edge
// rounded as the agent composes the desktop.
QRect devicePixels(const QRect& logical, double scale)
{
    const auto device = [scale](int v) { return int(std::lround(v * scale)); };
    return QRect(QPoint(device(logical.left()), device(logical.top())),
        QPoint(device(logical.right() + 1) - 1, device(logical.bottom() + 1) - 1));
}

// A drag from one corner to the other; both corners' pixels belong to the
// area (the corners chosen where the scale maps them to whole device pixels).
struct Drag {
    const char* name;
    QPoint from;
    QPoint to;
};

std::function<void(User&)> dragging(const Drag& d)
{
    return [d](User& u) {
        // Along the press's row, clear of the pointer at either end.
        const QRect edge(std::min(d.from.x(), d.to.x()) + 40, d.from.y(), std::abs(d.to.x() - d.from.x()) - 80, 1);
        const QImage edgeBefore = grimArea(edge);
        u.moveTo(d.from.x(), d.from.y());
        u.press(1);
        u.moveTo((d.from.x() + d.to.x()) / 2, (d.from.y() + d.to.y()) / 2);
        // The frame's edge drawn: the press and the move reached the selector.
        EXPECT_TRUE(waitUntil([&] { return grimArea(edge) != edgeBefore; }));
        u.moveTo(d.to.x(), d.to.y());
        u.release(1);
    };
}

// The first preset (16 x 16) from the menu of a right press up-left of `at`,
// then a drag whose frame hangs up-left of the pointer, let go at `at`.
std::function<void(User&)> presetTo(QPoint at, double scale)
{
    return [at, scale](User& u) {
        const QPoint menuAt = at - QPoint(200, 100);
        const QRect inMenu(menuAt + QPoint(40, 30), QSize(20, 4));
        const QImage noMenu = grimArea(inMenu);
        u.moveTo(menuAt.x(), menuAt.y());
        u.press(3);
        ASSERT_TRUE(waitUntil([&] { return grimArea(inMenu) != noMenu; })) << "no menu";
        u.release(3);
        u.keys({ "Down", "Return" });
        ASSERT_TRUE(waitUntil([&] { return grimArea(inMenu) == noMenu; })) << "the menu stayed";
        const QPoint mid = at - QPoint(40, 40);
        // The preset frame's top-left pixel, off the cross of the pointer at `mid`.
        const int side = int(16 / scale);
        const QRect corner(mid - QPoint(side, side), QSize(1, 1));
        const QImage cornerBefore = grimArea(corner);
        u.moveTo(mid.x() - 20, mid.y());
        u.press(1);
        u.moveTo(mid.x(), mid.y());
        EXPECT_TRUE(waitUntil([&] { return grimArea(corner) != cornerBefore; })) << "no preset frame";
        u.moveTo(at.x(), at.y());
        u.release(1);
    };
}

} // namespace

TEST(WaylandAgentSelectors, CommandEndsWithTheChosenPictureOrCancelled)
{
    // Each a layout of the first outputs (sway cannot take one away), with its
    // drags; the desktop's device pixels are those of its densest output, kept
    // as they are (an output at 1.5 is not resampled). Every area takes in an
    // edge between colours (the window's, the outputs' own backgrounds), so
    // that a picture off by a pixel differs.
    constexpr uint32_t kFirst = 0x305070;
    constexpr uint32_t kSecond = 0x507030;
    const struct {
        const char* name;
        std::vector<OutputSetup> outputs;
        double scale;
        std::vector<Drag> drags;
        bool preset; // a preset frame let go across the window's top-left corner
        bool escapes; // whether both selectors are given up too
    } layouts[] = {
        { "one output at 1.5", { { 1920, 1080, 0, 0, 1.5, 0, kFirst } }, 1.5,
            { { "area dragged", { 200, 120 }, { 400, 260 } } }, false, false },
        { "one output at 1", { { 1920, 1080, 0, 0, 1, 0, kFirst } }, 1,
            { { "area dragged", { 140, 90 }, { 700, 420 } } }, false, true },
        { "at 1, then at 2 to its right", { { 1920, 1080, 0, 0, 1, 0, kFirst }, { 1280, 720, 1920, 0, 2, 0, kSecond } },
            2,
            { { "area dragged across", { 1800, 100 }, { 2100, 300 } },
                { "area dragged back from the second output", { 2100, 150 }, { 700, 300 } } },
            true, true },
    };
    Foot foot("kaptivus-pick", 0xE03020, "floating enable, resize set 500 300, move absolute position 300 200");
    ASSERT_TRUE(waitUntil([&] { return jsonRect(foot.node().value("rect")).width == 500; }));
    const platform::ScreenRect f = floatingFrame(foot.node());
    const QRect frame(f.left, f.top, f.width, f.height);
    const auto pick = [&](User& u) {
        u.moveTo(frame.center().x(), frame.center().y());
        u.click(1);
    };
    const auto escape = [](User& u) { u.keys({ "Escape" }); };
    for (const auto& l : layouts) {
        SCOPED_TRACE(l.name);
        arrangeOutputs(l.outputs);
        User user(layoutBounds());
        const Parking parking = park(l.outputs, user);
        std::vector<Case> cases;
        for (const Drag& d : l.drags) {
            const QPoint topLeft(std::min(d.from.x(), d.to.x()), std::min(d.from.y(), d.to.y()));
            const QPoint bottomRight(std::max(d.from.x(), d.to.x()), std::max(d.from.y(), d.to.y()));
            cases.push_back({ d.name, kAreaToFile, dragging(d), 0, QRect(topLeft * l.scale, bottomRight * l.scale) });
        }
        if (l.preset) {
            const QPoint at = frame.topLeft() + QPoint(4, 4);
            const QPoint end = at * l.scale;
            cases.push_back({ "preset frame let go", kAreaToFile, presetTo(at, l.scale), 0,
                QRect(end - QPoint(16, 16), end) });
        }
        cases.push_back({ "foot window picked", kObjectToFile, pick, 0, devicePixels(frame, l.scale) });
        if (l.escapes) {
            cases.push_back({ "area given up with Escape", kAreaToWindow, escape, kCancelled, {} });
            cases.push_back({ "picker given up with Escape", kObjectToWindow, escape, kCancelled, {} });
        }
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            captureThrough(c, user, parking, frame);
        }
    }
}
