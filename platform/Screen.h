// Screen services on the X display: the device pixel format, grabbing a
// rectangle of the root window, monitors, window rectangles, the pointer,
// repainting the desktop and the bell. Uses a private X connection; no X types
// in this header. GUI thread only.
#pragma once

#include "pixels/Picture.h"
#include "platform/Geometry.h"

#include <optional>
#include <vector>

namespace kaptivus::platform {

// False when no X display can be reached; every other function then returns
// empty results (an empty picture, 0 windows, an empty rectangle).
bool screenAvailable();

// The root window's depth, bits per pixel and channel masks.
pixels::DeviceFormat screenDeviceFormat();

// The whole root window (the X screen) in its own coordinates.
ScreenRect screenRect();

// Auto: MIT-SHM when the server shares memory with us, else plain GetImage.
// The other two force one way (for measurements); a forced way that fails gives black.
enum class GrabMethod { Auto, SharedMemory, GetImage };
// A copy of the root window's pixels in the rectangle, in the device format.
// Parts outside the screen come back black. An empty rectangle (or one larger
// than the protocol's 32767 pixels a side) gives an empty picture.
pixels::Picture grabRect(int left, int top, int width, int height, GrabMethod method = GrabMethod::Auto);

// Monitors in the server's order (RandR 1.5 monitors); one monitor = the screen
// when the server knows none.
std::vector<ScreenRect> monitors();
// The monitor at that position, or nothing when there is no such monitor.
std::optional<ScreenRect> monitorRect(int index);
// The bounding box of all monitors.
ScreenRect virtualDesktop();

// _NET_ACTIVE_WINDOW, or 0 when the window manager names none.
WindowId activeWindow();
// The window's outer rectangle on screen: the window manager's frame and title
// bar included for a managed top-level, the window's own border for any other.
// Empty when the window does not exist.
ScreenRect windowOuterRect(WindowId window);
// The window's inside (client area) in root coordinates; empty when it does not exist.
ScreenRect windowClientRect(WindowId window);
// The deepest mapped window under a point (a control inside a top-level when
// there is one), skipping the top-level windows listed in `ignore`; the root
// window where no other window is, 0 for a point off the screen.
WindowId windowAt(ScreenPoint point, const std::vector<WindowId>& ignore = {});
// The desktop object at a point, as a user points at it: inside a framed
// window's client area the deepest mapped window there (a control, or the
// client itself when its toolkit draws its controls without windows); on a
// window manager's frame (title bar, border) the framed client, whose outer
// rectangle is the whole framed window. Top-level windows in `ignore` are
// looked through; the root where no other window is, 0 off the screen.
WindowId objectAt(ScreenPoint point, const std::vector<WindowId>& ignore = {});

ScreenPoint pointerPosition();

// After a top-level window is unmapped, waits (at most `limitMs`) until the
// window manager has withdrawn it: mapped again before that, the window can be
// left unmapped by a window manager that finishes the withdrawal afterwards.
// True when the window is withdrawn (or was never managed).
bool awaitWithdrawal(WindowId window, int limitMs);

// Makes every window of the desktop redraw itself (after a window that covered
// the screen has gone).
void repaintDesktop();

// The desktop's default beep (the X bell).
void beep();

} // namespace kaptivus::platform
