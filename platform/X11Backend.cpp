// The X server's side of the capture back-end: the root window's pixels and
// the window manager's windows, through the screen services.
#include "platform/CaptureBackend.h"
#include "platform/Screen.h"

namespace kaptivus::platform {

namespace {

class X11Backend final : public CaptureBackend {
public:
    std::string_view name() const override { return "x11"; }
    bool grabsHotkeys() const override { return true; }

    std::vector<Monitor> monitors() override
    {
        std::vector<Monitor> result;
        for (const ScreenRect& r : platform::monitors()) result.push_back({{}, r});
        return result;
    }

    ScreenRect virtualDesktop() override { return platform::virtualDesktop(); }

    DesktopGrab grab(const ScreenRect& rect) override
    {
        if (!screenAvailable()) return {{}, "No X display can be reached."};
        DesktopGrab result{grabRect(rect.left, rect.top, rect.width, rect.height), {}};
        if (result.picture.isEmpty()) result.error = "The X server gave no picture of the screen.";
        return result;
    }

    std::optional<ScreenPoint> pointerPosition() override
    {
        if (!screenAvailable()) return std::nullopt;
        return platform::pointerPosition();
    }

    // No active window gives empty rectangles, which the capture widens to
    // the desktop; that is the desktop's answer, not a failure.
    WindowRects activeWindow() override { return rectsOf(platform::activeWindow()); }

    WindowRects objectAt(ScreenPoint point, const std::vector<WindowId>& ownWindows) override
    {
        return rectsOf(platform::objectAt(point, ownWindows));
    }

    void repaintDesktop() override { platform::repaintDesktop(); }

private:
    static WindowRects rectsOf(WindowId window)
    {
        return {windowOuterRect(window), windowClientRect(window), {}};
    }
};

} // namespace

std::unique_ptr<CaptureBackend> makeX11Backend() { return std::make_unique<X11Backend>(); }

} // namespace kaptivus::platform
