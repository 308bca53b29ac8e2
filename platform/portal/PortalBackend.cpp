// The capture back-end of a Wayland desktop without screencopy (GNOME, KDE):
// every grab is one non-interactive picture of the whole desktop from the
// Screenshot portal, cut to the rectangle asked for. Monitors come from the
// toolkit's screens, windows from sway's layout tree where $SWAYSOCK names
// one; elsewhere the desktop's own chooser stands in for window captures.
//
// Desktop coordinates are the layout's logical pixels times a scale: the
// ratio of the last portal picture to the layout once one was seen, the
// toolkit's largest screen scale before. A grab maps the rectangle it is
// given by the ratio of the picture it receives to the desktop it reported,
// so a desktop capture is always the whole picture; where the two scales
// differ (fractional scales) a cut may be a pixel off.
#include "platform/CaptureBackend.h"
#include "platform/portal/PortalPicture.h"
#include "platform/portal/PortalRequest.h"
#include "platform/wayland/SwayWindows.h"
#include "platform/wayland/WaylandOutputs.h"

#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

namespace kaptivus::platform {
namespace {

namespace wl = wayland;

std::string sentence(std::string text)
{
    if (!text.empty()) text.front() = char(std::toupper(static_cast<unsigned char>(text.front())));
    if (!text.empty() && text.back() != '.') text += '.';
    return text;
}

struct Layout {
    std::vector<Monitor> screens; // logical rectangles
    ScreenRect bounds;
    double toolkitScale = 1;
};

// The toolkit's screens in its order; none without a GUI application.
Layout toolkitLayout()
{
    Layout layout;
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) return layout;
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect g = screen->geometry();
        layout.screens.push_back({ screen->name().toStdString(), { g.x(), g.y(), g.width(), g.height() } });
        layout.bounds = united(layout.bounds, layout.screens.back().rect);
        layout.toolkitScale = std::max(layout.toolkitScale, screen->devicePixelRatio());
    }
    return layout;
}

class PortalBackend final : public CaptureBackend {
public:
    explicit PortalBackend(std::string whyPortal)
        : m_whyPortal(std::move(whyPortal))
    {
    }

    std::string_view name() const override { return "portal"; }
    bool grabsHotkeys() const override { return false; }

    std::vector<Monitor> monitors() override
    {
        const Layout layout = toolkitLayout();
        const double s = scaleFor(layout);
        std::vector<Monitor> result;
        for (const Monitor& m : layout.screens)
            result.push_back({ m.name, wl::pictureRect(m.rect, {}, s) });
        // Without the toolkit's screens, the last picture is the one monitor known.
        if (result.empty() && !m_lastSize.isEmpty()) result.push_back({ {}, m_lastSize });
        return result;
    }

    ScreenRect virtualDesktop() override
    {
        ScreenRect bounds;
        for (const Monitor& m : monitors())
            bounds = united(bounds, m.rect);
        return bounds;
    }

    DesktopGrab grab(const ScreenRect& rect) override
    {
        if (rect.isEmpty()) return { {}, "There is nothing to capture: the rectangle is empty." };
        const Layout layout = toolkitLayout();
        const ScreenRect reported = virtualDesktop();
        DesktopGrab whole = takePicture(false);
        if (!whole.ok()) return whole;
        const ScreenRect cut = pictureCut(rect, reported, whole.picture);
        remember(layout, whole.picture);
        if (cut == ScreenRect { 0, 0, whole.picture.width(), whole.picture.height() }) return whole;
        DesktopGrab result { whole.picture.copyRect(cut.left, cut.top, cut.width, cut.height), {} };
        if (result.picture.isEmpty()) result.error = "The picture of the desktop is too large to cut.";
        return result;
    }

    // Wayland tells a program nothing of the pointer outside its own windows.
    std::optional<ScreenPoint> pointerPosition() override { return std::nullopt; }

    bool knowsWindows() override { return wl::hasSwayWindowList(); }

    DesktopGrab grabChosen() override { return takePicture(true); }

    WindowRects activeWindow() override { return wl::swayActiveWindow(scaleFor(toolkitLayout())); }

    WindowRects objectAt(ScreenPoint point, const std::vector<WindowId>&) override
    {
        return wl::swayWindowAt(point, scaleFor(toolkitLayout()));
    }

    void repaintDesktop() override { }

private:
    // The portal's picture, whole: interactive lets the desktop's chooser decide what it shows.
    DesktopGrab takePicture(bool interactive)
    {
        const auto limit = portal::requestLimit(std::getenv("KAPTIVUS_PORTAL_TIMEOUT"));
        const portal::ShotAnswer answer = portal::requestScreenshot(interactive, limit);
        if (!answer.ok()) {
            // Chosen because screencopy is missing: the user hears about both.
            if (answer.outcome == portal::ShotOutcome::Unreachable && !m_whyPortal.empty())
                return { {}, sentence(m_whyPortal + ", and " + answer.error) };
            return { {}, sentence(answer.error) };
        }
        portal::PortalPicture file = portal::readPortalPicture(answer.uri, portal::removableRoots());
        if (!file.ok()) return { {}, sentence(file.error) };
        return { std::move(file.picture), {} };
    }

    // `rect`, in the coordinates of the desktop `reported` before the grab,
    // as pixels of `picture`, which shows that desktop.
    static ScreenRect pictureCut(const ScreenRect& rect, const ScreenRect& reported, const pixels::Picture& picture)
    {
        if (reported.isEmpty()) return rect;
        const double fx = double(picture.width()) / reported.width;
        const double fy = double(picture.height()) / reported.height;
        const auto map = [](int v, int origin, double f) { return int(std::lround((double(v) - origin) * f)); };
        const int left = map(rect.left, reported.left, fx);
        const int top = map(rect.top, reported.top, fy);
        return { left, top, map(rect.right(), reported.left, fx) - left, map(rect.bottom(), reported.top, fy) - top };
    }

    void remember(const Layout& layout, const pixels::Picture& picture)
    {
        m_lastSize = { 0, 0, picture.width(), picture.height() };
        if (layout.bounds.isEmpty()) return;
        m_measuredFor = layout.bounds;
        m_measured = double(picture.width()) / layout.bounds.width;
    }

    double scaleFor(const Layout& layout) const
    {
        return layout.bounds == m_measuredFor && m_measured > 0 ? m_measured : layout.toolkitScale;
    }

    std::string m_whyPortal;
    ScreenRect m_lastSize;
    ScreenRect m_measuredFor;
    double m_measured = 0;
};

} // namespace

std::unique_ptr<CaptureBackend> makePortalBackend(std::string whyPortal)
{
    return std::make_unique<PortalBackend>(std::move(whyPortal));
}

} // namespace kaptivus::platform
