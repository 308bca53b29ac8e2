// A private headless sway for a test, arranged and read through its own
// tools: swaymsg for outputs and windows, grim for reference pictures, foot
// as a window to capture. Every wait has a deadline.
#pragma once

#include "SwayTools.h"
#include "platform/Geometry.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdint>
#include <vector>

namespace kaptivus::test {

// A headless sway of the test's own, from the session's configuration (one
// 1920x1080 output), so that no test sees outputs another one made: sway 1.7
// cannot disable a headless output. The process environment points at it
// (WAYLAND_DISPLAY, SWAYSOCK, XDG_RUNTIME_DIR) until the object goes.
class PrivateSway {
public:
    // With `xwayland`, X clients are served too (started on demand). With
    // `keyboard`, a virtual keyboard stays on the seat: a headless seat has
    // none, wtype's own lives only while it types, and a client learns of a
    // new keyboard too late for its first key.
    explicit PrivateSway(bool xwayland = false, bool keyboard = false);
    ~PrivateSway();
    PrivateSway(const PrivateSway&) = delete;
    PrivateSway& operator=(const PrivateSway&) = delete;
    bool isReady() const { return m_ready; }
    // The X display that sway gives its clients; empty without XWayland.
    QString xDisplay();

private:
    QByteArray m_saved[3];
    QTemporaryDir m_runtime;
    QProcess m_sway;
    QProcess m_keyboard;
    bool m_ready = false;
};

// A headless weston on a socket of its own beside the current display: a
// Wayland desktop without screencopy, data-control or a window list.
class Weston {
public:
    Weston();
    ~Weston();
    bool isReady() const { return m_ready; }
    const QString& socket() const { return m_socket; }

private:
    QString m_socket;
    QProcess m_process;
    bool m_ready = false;
};

// swaymsg -t TYPE, parsed.
QJsonDocument swayQuery(const QString& type);

struct OutputSetup {
    int width = 0; // mode, device pixels
    int height = 0;
    int x = 0; // position, layout pixels
    int y = 0;
    double scale = 1;
    int rotation = 0; // sway's clockwise degrees
    uint32_t background = 0; // 0xRRGGBB
};
// Makes the first outputs look like `setups` (creating what is missing) and
// waits until grim sees each background in the output's bottom-right corner
// and, in a program with a toolkit, until its screens show the layout.
void arrangeOutputs(const std::vector<OutputSetup>& setups);

// The bounds of every output in layout pixels, as sway has them.
platform::ScreenRect layoutBounds();

// A foot terminal with its own app id and background, running nothing that
// draws; closed (and waited for) when the object goes. `rule` (sway commands
// such as "floating enable, resize set 640 400") applies as the window maps,
// before the terminal first draws, so no late commit can undo it.
class Foot {
public:
    Foot(const QString& appId, uint32_t background, const QString& rule = {});
    ~Foot();
    const QString& appId() const { return m_appId; }
    // The window's node in sway's tree, or an empty object.
    QJsonObject node() const;

private:
    QString m_appId;
    QProcess m_process;
};

platform::ScreenRect jsonRect(const QJsonValue& value);
// A view of sway's window list whose process is `pid` and whose title starts
// with `title`: its node, or an empty object.
QJsonObject windowOfPid(qint64 pid, const QString& title = {});
// True when, on every output, a full-screen window of process `pid` covers the whole output.
bool coveredBy(qint64 pid);
// A floating window's frame (its title bar above its rect) and client area,
// from sway's own report.
platform::ScreenRect floatingFrame(const QJsonObject& node);
platform::ScreenRect clientArea(const QJsonObject& node);

} // namespace kaptivus::test
