// Windows for the captures from sway's window list, on any Wayland back-end
// whose compositor is sway: the focused window, and the window under a point.
#pragma once

#include "platform/CaptureBackend.h"

namespace kaptivus::platform::wayland {

// Whether $SWAYSOCK names the compositor's socket.
bool hasSwayWindowList();

// The focused window's frame and client in desktop coordinates, `scale`
// device pixels to a layout pixel. No focused window (an empty workspace)
// gives empty rectangles, which the capture widens to the desktop, as on X11.
WindowRects swayActiveWindow(double scale);

// The deepest window under `point` (desktop coordinates), this program's own
// windows looked through: controls inside a window are not knowable here, and
// the toolkit's window ids mean nothing to the compositor, so they are known
// by their process.
WindowRects swayWindowAt(ScreenPoint point, double scale);

} // namespace kaptivus::platform::wayland
