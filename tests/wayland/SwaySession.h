// Test helpers that drive the headless sway of scripts/swaysession.sh with its
// own tools: swaymsg to arrange outputs and windows, grim for reference
// pictures, foot as a window to capture. Every wait has a deadline.
#pragma once

#include "SwayTools.h"
#include "pixels/Picture.h"
#include "platform/Geometry.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kaptivus::test {

using namespace std::chrono_literals;

// A headless sway of the test's own, from the session's configuration (one
// 1920x1080 output), so that no test sees outputs another one made: sway 1.7
// cannot disable a headless output. The process environment points at it
// (WAYLAND_DISPLAY, SWAYSOCK, XDG_RUNTIME_DIR) until the object goes.
class PrivateSway {
public:
    // With `xwayland`, X clients are served too (XWayland, started on demand).
    explicit PrivateSway(bool xwayland = false);
    ~PrivateSway();
    bool isReady() const { return m_ready; }
    // The X display that sway gives its clients; empty without XWayland.
    QString xDisplay();

private:
    QProcess m_sway;
    QTemporaryDir m_runtime;
    bool m_ready = false;
};

// swaymsg -t TYPE, parsed.
QJsonDocument swayQuery(const QString& type);

// A picture in grim's PPM output: rows of red, green, blue bytes.
struct Rgb {
    int width = 0;
    int height = 0;
    QByteArray bytes;
    uint32_t at(int x, int y) const; // 0xRRGGBB
};
// grim's picture of the whole desktop, or of one output when named.
Rgb grim(const QString& output = {});
// A picture's pixel as 0xRRGGBB.
uint32_t rgbAt(const pixels::Picture& picture, int x, int y);

struct OutputSetup {
    int width = 0;
    int height = 0;
    int x = 0;
    int y = 0;
    double scale = 1;
    int rotation = 0; // sway's clockwise degrees
    uint32_t background = 0; // 0xRRGGBB
};
// Makes the first outputs look like `setups` (creating what is missing) and waits
// until grim sees each background in the output's bottom-right corner.
void arrangeOutputs(const std::vector<OutputSetup>& setups);

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

// A node of sway's tree by app id (empty object when absent), with its parent.
QJsonObject findNode(const QJsonObject& root, const QString& appId, QJsonObject* parent = nullptr);
platform::ScreenRect jsonRect(const QJsonValue& value);
// A view of sway's window list whose process is `pid` and whose title starts
// with `title`: its node, or an empty object.
QJsonObject windowOfPid(qint64 pid, const QString& title = {});
// A floating window's frame (its title bar above its rect) and client area,
// from sway's own report.
platform::ScreenRect floatingFrame(const QJsonObject& node);
platform::ScreenRect clientArea(const QJsonObject& node);

} // namespace kaptivus::test
