// The real agent forced onto the Screenshot portal, beside the session's
// headless sway and the real portal stack: every capture kind's picture pixel
// for pixel as grim saw the desktop just before, and the portal's file gone
// once read.
#include "PortalSession.h"
#include "WaylandUser.h"

#include <QFileInfo>
#include <QProcess>
#include <functional>
#include <gtest/gtest.h>

namespace kaptivus::test {
namespace {

constexpr uint32_t kRed = 0xE03020;
constexpr int kScale = 2; // the layout's densest output
// An output at scale 1 and one at 2 to its right: the desktop's picture is at 2.
const std::vector<OutputSetup> kLayout { { 1280, 720, 0, 0, 1, 0, 0x203040 }, { 640, 360, 1280, 0, 2, 0, 0x10A050 } };
// The pointer waits there, off every window and area taken.
constexpr QPoint kParked(1200, 680);

QString dword(int value)
{
    return QString("dword:%1").arg(value, 8, 16, QChar('0'));
}
QRect qrect(const platform::ScreenRect& r)
{
    return { r.left, r.top, r.width, r.height };
}
QRect device(const QRect& logical)
{
    return { logical.topLeft() * kScale, logical.size() * kScale };
}

struct Case {
    const char* name;
    int action;
    std::vector<std::pair<QString, QString>> settings;
    bool windowList; // SWAYSOCK given to the agent; else the desktop's chooser decides
    std::function<void(User&)> act; // once the agent's selector or the desktop's chooser shows
    QRect expected; // device pixels of grim's picture of the desktop
    QRect chosen = {}; // else: layout pixels of the area grim takes alone, as the chooser has it taken
};

// A drag from `from` to `to` (layout pixels) with the compositor's pointer.
void drag(User& user, QPoint from, QPoint to)
{
    user.moveTo(from.x(), from.y());
    user.press(1);
    user.moveTo((from.x() + to.x()) / 2, (from.y() + to.y()) / 2);
    user.moveTo(to.x(), to.y());
    user.release(1);
}

// The chooser's overlay dims the first output's background.
bool chooserShown()
{
    return rgbAt(grimArea({ 5, 5, 1, 1 }), 0, 0) != kLayout[0].background;
}

// The chooser's grab follows the release at once, with the chooser's own
// pointer still over the area's last corner: that square is left out.
void withoutReleaseCorner(QImage& picture)
{
    const QRect corner(picture.width() - 24, picture.height() - 24, 24, 24);
    for (int y = corner.top(); y <= corner.bottom(); ++y)
        for (int x = corner.left(); x <= corner.right(); ++x)
            picture.setPixel(x, y, 0xFF000000);
}

void captureOne(const Case& c, User& user)
{
    user.moveTo(kParked.x(), kParked.y());
    // The portal's picture is grim's, whose scaling blends a sparser output's
    // pixels; the compositor draws its pointer in both.
    QImage expected = c.chosen.isEmpty() ? grim().copy(c.expected) : grimArea(c.chosen);
    QProcessEnvironment env = portalEnvironment();
    if (!c.windowList) env.remove("SWAYSOCK");
    WaylandAgent agent(c.settings, env);
    ASSERT_TRUE(agent.start()) << agent.errors().toStdString();
    QProcess command;
    agent.launch(command, { "--capture", QString::number(c.action) });
    if (c.act) {
        // The agent's selector covers every output, or the desktop's chooser dims them.
        ASSERT_TRUE(waitUntil([&] { return c.windowList ? coveredBy(agent.pid()) : chooserShown(); }))
            << "nothing covered the desktop " << agent.errors().toStdString();
        c.act(user);
    }
    ASSERT_TRUE(waitUntil([&] { return command.state() == QProcess::NotRunning; }, 20s))
        << agent.errors().toStdString();
    ASSERT_EQ(command.exitCode(), 0) << command.readAllStandardError().toStdString() << agent.errors().toStdString();
    QImage saved;
    ASSERT_TRUE(waitUntil([&] { return !(saved = agent.picture()).isNull(); })) << agent.errors().toStdString();
    if (!c.chosen.isEmpty() && expected.size() == saved.size()) {
        withoutReleaseCorner(expected);
        withoutReleaseCorner(saved);
    }
    EXPECT_EQ(firstDifference(expected, saved), "");
    // Read, the portal's picture of the screen does not linger.
    EXPECT_FALSE(QFileInfo::exists(kPortalPicture));
    EXPECT_TRUE(waitUntil([&] { return windowOfPid(agent.pid()).isEmpty(); }));
}

// Desktop, monitor, active window (frame and client area), area and object,
// and the desktop's own chooser where the agent has no window list: each
// through the portal, each the very pixels grim saw.
TEST(PortalAgent, EveryCaptureKindIsWhatGrimSees)
{
    arrangeOutputs(kLayout);
    Foot foot("kaptivus-portal", kRed, "floating enable, resize set 500 300, move absolute position 300 200");
    ASSERT_TRUE(waitUntil([&] { return jsonRect(foot.node().value("rect")).width == 500; }));
    swaymsg("[app_id=kaptivus-portal] focus");
    const QRect frame = qrect(floatingFrame(foot.node()));
    const QRect client = qrect(clientArea(foot.node()));
    ASSERT_TRUE(waitUntil([&] { return rgbAt(grimArea({ client.center(), QSize(1, 1) }), 0, 0) == kRed; }));
    const QPoint from(140, 90);
    const QPoint to(700, 420);
    const auto dragged = [&](User& u) { drag(u, from, to); };
    const auto picked = [&](User& u) {
        u.moveTo(frame.center().x(), frame.center().y());
        u.click(1);
    };
    const std::pair<QString, QString> png { "DefaultExt", "\".PNG\"" };
    const Case cases[] = {
        { "whole desktop", 102, { png }, true, {}, device({ 0, 0, 1600, 720 }) },
        { "second monitor", 102, { png, { "Monitor_0", dword(0) }, { "Monitor_2", dword(1) } }, true, {},
            device({ 1280, 0, 320, 180 }) },
        { "active window's frame", 105, { png }, true, {}, device(frame) },
        { "active window's client area", 105, { png, { "Client", dword(1) } }, true, {}, device(client) },
        // Both corners' pixels belong to the area.
        { "area dragged in the selector", 108, { png }, true, dragged, QRect(from * kScale, to * kScale) },
        { "object picked", 111, { png }, true, picked, device(frame) },
        // slurp's area holds both corners' pixels, and grim takes it at its own output's scale.
        { "active window without a window list: the desktop's chooser", 105, { png }, false, dragged, {},
            QRect(from, to) },
    };
    User user(layoutBounds());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        captureOne(c, user);
    }
}

} // namespace
} // namespace kaptivus::test
