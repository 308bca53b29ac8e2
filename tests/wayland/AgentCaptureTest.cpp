// The real agent on a headless sway, driven with `--capture` as a compositor
// binding would: every picture checked pixel for pixel against grim, decoded
// by Qt's readers; refusals told to the user, with nothing saved.
#include "WaylandAgent.h"

#include <cmath>
#include <gtest/gtest.h>
#include <optional>

namespace kaptivus::test {
namespace {

using platform::ScreenRect;

const QString kPictureWindow = "Kaptivus 2000   v5.10 complet";
constexpr int kDesktopShown = 101;
constexpr int kDesktopToFile = 102;
constexpr int kDesktopToClipboard = 103;
constexpr int kWindowToFile = 105;
constexpr uint32_t kRed = 0xE03020;
constexpr uint32_t kFocusedTitle = 0x285577; // sway's own colour for the focused window's title bar
const OutputSetup kFirst { 1920, 1080, 0, 0, 1, 0, 0x203040 };
const OutputSetup kDoubled { 1280, 720, 1920, 0, 2, 0, 0x10A050 };

QString dword(int value)
{
    return QString("dword:%1").arg(value, 8, 16, QChar('0'));
}

ScreenRect scaled(const ScreenRect& r, double s)
{
    const auto device = [s](int v) { return int(std::lround(v * s)); };
    return { device(r.left), device(r.top), device(r.right()) - device(r.left), device(r.bottom()) - device(r.top) };
}

QRect qrect(const ScreenRect& r)
{
    return { r.left, r.top, r.width, r.height };
}

struct CaptureCase {
    const char* name;
    std::vector<OutputSetup> outputs;
    int action;
    const char* ext;
    bool clientOnly = false; // "Client": the active window's client area, not its frame
};

// What the agent delivered: its one numbered file, or the clipboard's PNG as
// another program reads it.
QImage delivered(const WaylandAgent& agent, int action)
{
    if (action != kDesktopToClipboard) return agent.picture();
    return QImage::fromData(runProgram("wl-paste", { "--type", "image/png" }).out);
}

// Every route's picture pixel for pixel as grim sees the desktop: the
// desktop (102 to a file, 103 to the clipboard with no window of the agent's
// focused) and the focused window (105), in the composed desktop's device pixels.
TEST(WaylandAgent, CapturedPictureIsWhatGrimSees)
{
    const OutputSetup kFractional { 1920, 1080, 0, 0, 1.5, 0, 0x203040 };
    const std::vector<CaptureCase> cases {
        { "desktop, one output, BMP", { kFirst }, kDesktopToFile, ".BMP" },
        { "desktop, scales 1 and 2, PNG", { kFirst, kDoubled }, kDesktopToFile, ".PNG" },
        { "desktop, one output scaled 1.5, PNG", { kFractional }, kDesktopToFile, ".PNG" },
        { "desktop to the clipboard, scales 1 and 2", { kFirst, kDoubled }, kDesktopToClipboard, ".PNG" },
        { "active window's client area, one output", { kFirst }, kWindowToFile, ".PNG", true },
        { "active window's frame, on the doubled output", { kFirst, kDoubled }, kWindowToFile, ".PNG" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PrivateSway sway;
        ASSERT_TRUE(sway.isReady());
        arrangeOutputs(c.outputs);
        const int left = c.action == kWindowToFile && c.outputs.size() > 1 ? 2100 : 100;
        Foot window("kaptivus-shot", kRed,
            QString("floating enable, resize set 500 300, move absolute position %1 60").arg(left));
        // The rule's size and place, once sway has applied them.
        ASSERT_TRUE(waitUntil([&] { return jsonRect(window.node().value("rect")).width == 500; }));
        swaymsg("[app_id=kaptivus-shot] focus");
        const QJsonObject node = window.node();
        const ScreenRect frame = floatingFrame(node);
        // Drawn as the focused window: red inside, the focused title bar's colour above.
        ASSERT_TRUE(waitUntil([&] {
            const ScreenRect inside = clientArea(window.node());
            return rgbAt(grimArea(qrect({ inside.left + 250, inside.top + 150, 1, 1 })), 0, 0) == kRed
                && rgbAt(grimArea(qrect({ frame.left + 250, frame.top + 3, 1, 1 })), 0, 0) == kFocusedTitle;
        }));
        double scale = 1;
        QImage expected = expectedDesktop(&scale);
        if (c.action == kWindowToFile)
            expected = expected.copy(qrect(scaled(c.clientOnly ? clientArea(node) : frame, scale)));

        WaylandAgent agent({ { "DefaultExt", '"' + QString(c.ext) + '"' }, { "Client", dword(c.clientOnly) } });
        ASSERT_TRUE(agent.start()) << agent.errors().toStdString();
        ASSERT_TRUE(window.node().value("focused").toBool());
        ASSERT_EQ(agent.capture(c.action), 0);
        QImage saved;
        ASSERT_TRUE(waitUntil([&] { return !(saved = delivered(agent, c.action)).isNull(); }))
            << agent.files().join(' ').toStdString() << agent.errors().toStdString();
        EXPECT_EQ(firstDifference(expected, saved), "");
        if (c.action == kDesktopToClipboard) continue;
        EXPECT_TRUE(agent.files().first().endsWith(QString(c.ext).toLower()));
    }
}

struct RefusalCase {
    const char* name;
    bool weston; // else sway, with its window list kept from the agent
    int action;
    const char* named; // what the message must name
};

// A desktop that refuses what a capture needs: the user is told what is
// missing, in a box and on standard error, the command that asked for the
// capture fails with the same reason, and nothing is saved or shown.
TEST(WaylandAgent, RefusedCaptureIsReportedNotSaved)
{
    const std::vector<RefusalCase> cases {
        { "no screencopy, desktop to file", true, kDesktopToFile, "zwlr_screencopy_manager_v1" },
        { "no screencopy, area selector", true, 108, "zwlr_screencopy_manager_v1" },
        { "no window list, active window shown", false, 104, "window list" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PrivateSway sway;
        ASSERT_TRUE(sway.isReady());
        std::optional<Weston> weston;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (c.weston) {
            weston.emplace();
            ASSERT_TRUE(weston->isReady()) << "weston did not start";
            env.insert("WAYLAND_DISPLAY", weston->socket());
        }
        env.remove("SWAYSOCK");
        WaylandAgent agent({ { "DefaultExt", "\".BMP\"" } }, env);
        ASSERT_TRUE(agent.start()) << agent.errors().toStdString();
        // The binding's command fails too, and says why.
        QString said;
        EXPECT_EQ(agent.capture(c.action, &said), 4);
        EXPECT_TRUE(said.startsWith("kaptivus2000: the capture failed: ")) << said.toStdString();
        EXPECT_TRUE(said.contains(c.named)) << said.toStdString();
        EXPECT_TRUE(waitUntil([&] { return agent.errors().contains("could not capture"); }))
            << agent.errors().toStdString();
        EXPECT_TRUE(agent.errors().contains(c.named)) << agent.errors().toStdString();
        EXPECT_TRUE(agent.files().isEmpty());
        // On sway the box itself is seen; weston keeps its window list to itself.
        if (!c.weston) {
            EXPECT_TRUE(waitUntil([&] { return !windowOfPid(agent.pid(), "Erreur").isEmpty(); }));
            EXPECT_TRUE(windowOfPid(agent.pid(), kPictureWindow).isEmpty());
        }
    }
}

// The session has no D-Bus session bus and so no tray: the agent starts all
// the same, shows the capture that --capture asks for, and a second start ends
// at once without a word.
TEST(WaylandAgent, WithoutSessionBusOrTrayItStillAnswersCapture)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DBUS_SESSION_BUS_ADDRESS");
    env.remove("DISPLAY");
    WaylandAgent agent({}, env);
    ASSERT_TRUE(agent.start()) << agent.errors().toStdString();
    ASSERT_EQ(agent.capture(kDesktopShown), 0);
    EXPECT_TRUE(waitUntil([&] { return !windowOfPid(agent.pid(), kPictureWindow).isEmpty(); }))
        << agent.errors().toStdString();
    QProcess second;
    agent.launch(second, {});
    ASSERT_TRUE(waitUntil([&] { return second.waitForFinished(10) || second.state() == QProcess::NotRunning; }));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(second.readAll() + second.readAllStandardError(), QByteArray());
    EXPECT_FALSE(windowOfPid(agent.pid()).isEmpty()) << "the first agent ended";
}

// An agent told to run its windows under XWayland still captures the
// compositor's own pixels, not XWayland's black root window.
TEST(WaylandAgent, AgentUnderXWaylandCapturesTheRealDesktop)
{
    PrivateSway sway(true);
    ASSERT_TRUE(sway.isReady());
    const QString display = sway.xDisplay();
    ASSERT_FALSE(display.isEmpty()) << "sway gave no X display";
    Foot window("kaptivus-xwayland", kRed, "floating enable, resize set 500 300, move position 100 60");
    ASSERT_TRUE(waitUntil([&] { return rgbAt(grim("HEADLESS-1"), 300, 250) == kRed; }));
    const QImage expected = expectedDesktop();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display);
    env.insert("QT_QPA_PLATFORM", "xcb");
    WaylandAgent agent({ { "DefaultExt", "\".PNG\"" } }, env);
    ASSERT_TRUE(agent.start()) << agent.errors().toStdString();
    ASSERT_EQ(agent.capture(kDesktopToFile), 0);
    QImage saved;
    ASSERT_TRUE(waitUntil([&] { return !(saved = agent.picture()).isNull(); })) << agent.errors().toStdString();
    EXPECT_EQ(firstDifference(expected, saved), "");
    EXPECT_EQ(saved.pixel(300, 250) & 0xFFFFFF, kRed);
}

} // namespace
} // namespace kaptivus::test
