// The wlroots compositor's side of the capture back-end: pictures through the
// screencopy protocol, windows from sway's layout tree. Desktop coordinates
// are the layout's logical pixels times the composed picture's scale. The
// pointer stays unknown: no protocol tells a client where it is outside its
// own windows.
#include "platform/CaptureBackend.h"
#include "platform/wayland/SwayIpc.h"
#include "platform/wayland/SwayTree.h"
#include "platform/wayland/WlrScreencopy.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <unistd.h>

namespace kaptivus::platform {
namespace {

namespace wl = wayland;

const char* const kNoWindowList = "Kaptivus 2000 cannot capture a window here: it needs the compositor's "
                                  "window list, which this desktop does not give.";

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
            result.push_back({ o.name, toDesktop(o.logical, s) });
        return result;
    }

    ScreenRect virtualDesktop() override
    {
        refresh();
        return toDesktop(wl::layoutBounds(m_copy->outputs()), scale());
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

    // No focused window (an empty workspace) gives empty rectangles, which the
    // capture widens to the desktop, as on X11.
    WindowRects activeWindow() override
    {
        WindowRects result;
        const wl::SwayTree tree = windowList(result.error);
        if (!result.ok()) return result;
        if (const auto w = wl::focusedWindow(tree)) setRects(result, *w);
        return result;
    }

    // Controls inside a window are not knowable here: the object is the
    // deepest window under the point. The toolkit's window ids mean nothing to
    // the compositor, so the program's own windows are known by their process.
    WindowRects objectAt(ScreenPoint point, const std::vector<WindowId>&) override
    {
        WindowRects result;
        wl::SwayTree tree = windowList(result.error);
        if (!result.ok()) return result;
        const int64_t self = getpid();
        std::erase_if(tree.windows, [self](const wl::SwayWindow& w) { return w.pid == self; });
        const double s = scale();
        const ScreenPoint logical { int(std::floor(point.x / s)), int(std::floor(point.y / s)) };
        if (const auto w = wl::windowAt(tree, logical)) setRects(result, *w);
        return result;
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

    static ScreenRect toDesktop(const ScreenRect& logical, double s)
    {
        return wl::pictureRect(logical, ScreenRect {}, s);
    }

    // The windows as the compositor lays them out now, with the outputs'
    // scale as the grab would see it.
    wl::SwayTree windowList(std::string& error)
    {
        const char* socket = std::getenv("SWAYSOCK");
        if (socket == nullptr || *socket == '\0') {
            error = kNoWindowList;
            return {};
        }
        refresh();
        wl::SwayTree tree = wl::readSwayTree(socket);
        if (!tree.ok()) error = "The compositor's window list could not be read: " + tree.error;
        return tree;
    }

    void setRects(WindowRects& rects, const wl::SwayWindow& window) const
    {
        const double s = scale();
        rects.frame = toDesktop(window.frame, s);
        // A container of windows has no contents of its own: its frame is all.
        rects.client = window.isView() ? toDesktop(window.client, s) : rects.frame;
    }

    std::unique_ptr<wl::WlrScreencopy> m_copy;
};

} // namespace

std::unique_ptr<CaptureBackend> makeWlrootsBackend() { return std::make_unique<WlrootsBackend>(); }

} // namespace kaptivus::platform
