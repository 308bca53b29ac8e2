// The desktop as the captures see it, behind one interface: the X server, or
// a Wayland compositor. One back-end is chosen at start from the session; the
// rest of the program (pipeline, routes, selectors, settings) never asks which
// one runs. No X or Wayland types here.
//
// Desktop coordinates are the device pixels of the virtual desktop as a
// picture of it shows them: on X11 the root window's own coordinates; on
// Wayland the compositor's layout multiplied by the picture's scale.
#pragma once

#include "pixels/Picture.h"
#include "platform/Geometry.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kaptivus::platform {

enum class SessionKind { X11, Wayland };

// A Wayland session when WAYLAND_DISPLAY is set or XDG_SESSION_TYPE is
// "wayland", even when DISPLAY is also set (XWayland); X11 otherwise.
// Null arguments count as unset.
SessionKind sessionKind(const char* waylandDisplay, const char* sessionType);
// The same, read from the environment.
SessionKind currentSession();

// One monitor (a Wayland output): its rectangle in desktop coordinates, and
// its name as the toolkit knows the screen (empty where unknown).
struct Monitor {
    std::string name;
    ScreenRect rect;
};

// A grab, or why there is none: an empty picture always comes with a message,
// and a message never comes with a picture.
struct DesktopGrab {
    pixels::Picture picture;
    std::string error;
    bool ok() const { return error.empty() && !picture.isEmpty(); }
};

// A window's frame (title bar and border included) and client rectangle, in
// desktop coordinates, or why they are not known.
struct WindowRects {
    ScreenRect frame;
    ScreenRect client;
    std::string error;
    bool ok() const { return error.empty(); }
};

class CaptureBackend {
public:
    virtual ~CaptureBackend() = default;

    // "x11", "wlroots", ...: for messages and troubleshooting.
    virtual std::string_view name() const = 0;
    // Whether the program can grab keys for itself (X11), or whether the
    // desktop owns every key binding (Wayland).
    virtual bool grabsHotkeys() const = 0;

    // Monitors in the desktop's order; the virtual desktop is their bounding box.
    virtual std::vector<Monitor> monitors() = 0;
    virtual ScreenRect virtualDesktop() = 0;

    // The rectangle of the desktop in the screen's own pixel format; what lies
    // outside the desktop is black. Fails with a message naming what is
    // missing, never with a blank picture.
    virtual DesktopGrab grab(const ScreenRect& rect) = 0;

    // The pointer, where the desktop tells it.
    virtual std::optional<ScreenPoint> pointerPosition() = 0;

    // The window that has the keyboard focus.
    virtual WindowRects activeWindow() = 0;
    // The desktop object the user points at (a control where the desktop
    // knows controls, else a window): its rectangle as a capture takes it.
    // The program's own windows in `ownWindows` (toolkit window ids) are looked
    // through; an empty rectangle where nothing but the background is.
    virtual WindowRects objectAt(ScreenPoint point, const std::vector<WindowId>& ownWindows) = 0;

    // Makes the desktop redraw itself after a window covering it has gone
    // (nothing to do where the compositor keeps every window's pixels).
    virtual void repaintDesktop() = 0;

    // Whether activeWindow() and objectAt() can find windows on this desktop.
    // Where they cannot, grabChosen() hands the choice to the desktop.
    virtual bool knowsWindows() { return true; }
    // A picture of what the user picks in the desktop's own chooser (a
    // window, an area, a screen: the desktop decides), or why there is none:
    // a cancelled or refused choice is a message, never a picture.
    virtual DesktopGrab grabChosen() { return { {}, "This desktop has no chooser of its own." }; }
};

enum class BackendKind { X11, Wlroots, Portal };

// KAPTIVUS_BACKEND's value ("x11", "wlroots", "portal"): the back-end it
// forces; nothing when unset or empty, and nothing with `unknown` set when it
// names none.
std::optional<BackendKind> forcedBackend(const char* value, bool& unknown);
// The back-end a session gets: the forced one; else the X server's on X11; on
// Wayland the compositor's screencopy where it is offered, else the portal.
BackendKind chooseBackend(std::optional<BackendKind> forced, SessionKind session, bool hasScreencopy);

// The back-end of this session, made on first use as chooseBackend() says
// (an unknown KAPTIVUS_BACKEND is reported on standard error and ignored).
// GUI thread only.
CaptureBackend& captureBackend();
// Replaces it (tests and measurements); null goes back to the session's own.
void setCaptureBackend(std::unique_ptr<CaptureBackend> backend);

// The X server's back-end, whatever the session.
std::unique_ptr<CaptureBackend> makeX11Backend();
// A wlroots compositor's back-end (screencopy, and sway's window list where
// $SWAYSOCK names it), on the display WAYLAND_DISPLAY names.
std::unique_ptr<CaptureBackend> makeWlrootsBackend();
// The desktop portals' back-end (the Screenshot portal on the session bus).
// `whyPortal` ("the compositor offers no ...") joins the message when the
// portal cannot be reached either.
std::unique_ptr<CaptureBackend> makePortalBackend(std::string whyPortal = {});

} // namespace kaptivus::platform
