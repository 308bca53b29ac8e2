// The wlroots compositor's side of the capture back-end: pictures through the
// screencopy protocol, windows from sway's layout tree. Desktop coordinates
// are the layout's logical pixels times the composed picture's scale. The
// pointer stays unknown: no protocol tells a client where it is outside its
// own windows.
#include "platform/CaptureBackend.h"
#include "platform/wayland/SwayWindows.h"
#include "platform/wayland/WlrScreencopy.h"

#include <algorithm>

namespace kaptivus::platform {
namespace {

namespace wl = wayland;

// The rectangle `rect` of a picture whose top-left pixel sits at `origin`;
// what lies outside the picture is black. The whole picture is handed over.
pixels::Picture cut(pixels::Picture&& source, const ScreenRect& rect, ScreenPoint origin)
{
    if (rect == ScreenRect { origin.x, origin.y, source.width(), source.height() }) return std::move(source);
    return source.copyRect(rect.left - origin.x, rect.top - origin.y, rect.width, rect.height);
}

class WlrootsBackend final : public CaptureBackend {
public:
    std::string_view name() const override { return "wlroots"; }
    // A Wayland client cannot grab keys: the compositor's bindings start `--capture`.
    bool grabsHotkeys() const override { return false; }

    std::vector<Monitor> monitors() override
    {
        refresh();
        std::vector<Monitor> result;
        const double s = scale();
        for (const auto& o : m_copy->outputs())
            result.push_back({ o.name, wl::pictureRect(o.logical, ScreenRect {}, s) });
        return result;
    }

    ScreenRect virtualDesktop() override
    {
        refresh();
        return wl::pictureRect(wl::layoutBounds(m_copy->outputs()), ScreenRect {}, scale());
    }

    DesktopGrab grab(const ScreenRect& rect) override
    {
        refresh();
        // No desktop at all makes an empty rectangle too: the missing desktop is the news.
        if (!m_copy->isConnected()) return { {}, m_copy->error() };
        if (rect.isEmpty()) return { {}, "There is nothing to capture: the rectangle is empty." };
        wl::DesktopGrab whole = m_copy->grabDesktop();
        if (!whole.ok()) return { {}, whole.error };
        const ScreenPoint origin { wl::toDevice(whole.layout.left, whole.scale),
            wl::toDevice(whole.layout.top, whole.scale) };
        DesktopGrab result { cut(std::move(whole.picture), rect, origin), {} };
        if (result.picture.isEmpty()) result.error = "The picture of the desktop is too large to cut.";
        return result;
    }

    std::optional<ScreenPoint> pointerPosition() override { return std::nullopt; }

    WindowRects activeWindow() override
    {
        refresh();
        return wl::swayActiveWindow(scale());
    }

    WindowRects objectAt(ScreenPoint point, const std::vector<WindowId>&) override
    {
        refresh();
        return wl::swayWindowAt(point, scale());
    }

    // The compositor keeps every window's pixels.
    void repaintDesktop() override { }

private:
    // One connection serves every grab; a new one when the outputs changed or
    // the compositor went away (each use reads its events first).
    void refresh()
    {
        if (!m_copy || !m_copy->isConnected() || m_copy->outputsChanged())
            m_copy = std::make_unique<wl::WlrScreencopy>();
    }

    double scale() const { return wl::compositionScale(m_copy->outputs()); }

    std::unique_ptr<wl::WlrScreencopy> m_copy;
};

} // namespace

std::unique_ptr<CaptureBackend> makeWlrootsBackend()
{
    return std::make_unique<WlrootsBackend>();
}

} // namespace kaptivus::platform
