// Test helpers for widgets under a private headless sway: the test process's
// own compositor with a virtual pointer and keyboard on its seat, its outputs
// as the capture back-end reports them, grim's pictures, and a user who moves
// the compositor's pointer, presses its buttons and types. Every wait has a deadline.
#pragma once

#include "../../wayland/SwayTools.h"
#include "platform/CaptureBackend.h"
#include "platform/Geometry.h"

#include <QByteArray>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace kaptivus::test {

using namespace std::chrono_literals;

// Starts this process's compositor from KAPTIVUS_SWAY_CONFIG, with a virtual
// keyboard (a headless seat has none, and its clients then get no key events),
// and points WAYLAND_DISPLAY and SWAYSOCK at it. Before the QApplication, so
// that the toolkit finds the keyboard on the seat.
bool startPrivateDesk();
void stopPrivateDesk();
bool haveDesk();

// Polls `done` until it holds or the time is up, handling the toolkit's
// events meanwhile (GUI thread); waitUntil handles none (any thread).
bool waitProcessing(const std::function<bool()>& done, std::chrono::milliseconds limit = 10s);

struct Output {
    int width = 0; // mode, device pixels
    int height = 0;
    int x = 0; // position, layout pixels
    int y = 0;
    double scale = 1;
};
// Lays out the first outputs (creating the missing ones: sway cannot remove a
// headless output) and waits until the toolkit's screens show the layout.
void arrangeOutputs(const std::vector<Output>& outputs);

// The desktop as the capture back-end reports it (monitors in desktop pixels,
// named as the toolkit's screens), and its bounds in layout pixels.
struct DeskLayout {
    std::vector<platform::Monitor> monitors;
    platform::ScreenRect desktop;
    platform::ScreenRect layoutBounds;
};
DeskLayout deskLayout();

// True when, on every output, a full-screen window of this process covers the
// whole output.
bool coveredByThisProcess();
// The same for a window of another process (the real agent).
bool coveredBy(qint64 pid);
// True while the compositor shows any window of this process.
bool shownByThisProcess();
bool shownBy(qint64 pid);

// grim's picture of one output: rows of 0xRRGGBB.
struct Shot {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
};
Shot grim(const QString& output);

// The body of this program run with --virtual-pointer: a virtual pointer that
// moves to "x y width height" (an absolute position within an extent) read from
// standard input, answering "ok" once the compositor has handled each.
int serveVirtualPointer();

// A user at the compositor's pointer and keyboard. Moves go through a virtual
// pointer of the user's own (sway's `cursor set` sends no motion while a button
// is down), buttons through sway's seat, keys through wtype. The pointer comes
// with the user and goes with it: sway 1.7 leaves a further output showing its
// background when a full-screen window maps there while a virtual pointer
// exists. From any one thread.
class User {
public:
    explicit User(platform::ScreenRect layoutBounds);
    ~User();
    void moveTo(int x, int y); // layout pixels
    void press(int button);
    void release(int button);
    void click(int button);
    void keys(const QStringList& names);

private:
    platform::ScreenRect m_bounds;
    std::unique_ptr<QProcess> m_pointer;
};

} // namespace kaptivus::test
