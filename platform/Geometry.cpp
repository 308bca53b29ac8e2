// Rectangle arithmetic for the screen services.
#include "platform/Geometry.h"

#include <algorithm>
#include <limits>

namespace kaptivus::platform {

ScreenRect intersected(const ScreenRect& a, const ScreenRect& b)
{
    const int left = std::max(a.left, b.left);
    const int top = std::max(a.top, b.top);
    const int right = std::min(a.right(), b.right());
    const int bottom = std::min(a.bottom(), b.bottom());
    if (right <= left || bottom <= top) return ScreenRect { left, top, 0, 0 };
    return ScreenRect { left, top, right - left, bottom - top };
}

ScreenRect united(const ScreenRect& a, const ScreenRect& b)
{
    if (a.isEmpty()) return b;
    if (b.isEmpty()) return a;
    const int left = std::min(a.left, b.left);
    const int top = std::min(a.top, b.top);
    return ScreenRect { left, top, std::max(a.right(), b.right()) - left, std::max(a.bottom(), b.bottom()) - top };
}

namespace {

// The length of [a, a + alen) and [b, b + blen) in common, in 64 bits.
long long overlap(long long a, long long alen, long long b, long long blen)
{
    return std::max(0LL, std::min(a + alen, b + blen) - std::max(a, b));
}

// How far a point lies outside a span [from, from + length), 0 inside it.
long long gap(long long point, long long from, long long length)
{
    if (point < from) return from - point;
    if (point >= from + length) return point - (from + length) + 1;
    return 0;
}

// Slides a span of `length` starting at `start` into [from, from + room); its start
// stays at `from` when it does not fit.
int slideInto(long long start, long long length, long long from, long long room)
{
    return static_cast<int>(std::max(from, std::min(start, from + room - length)));
}

// The monitor nearest to a point, by the distance along both axes; null when
// no monitor has an area.
const ScreenRect* nearestMonitor(long long x, long long y, const std::vector<ScreenRect>& monitors)
{
    const ScreenRect* nearest = nullptr;
    long long best = std::numeric_limits<long long>::max();
    for (const ScreenRect& m : monitors) {
        if (m.isEmpty()) continue;
        const long long distance = gap(x, m.left, m.width) + gap(y, m.top, m.height);
        if (distance < best) {
            best = distance;
            nearest = &m;
        }
    }
    return nearest;
}

// True when the monitors show every pixel of the area. Monitors may mirror
// each other; a repeated one adds nothing.
bool whollyShown(long long left, long long top, long long width, long long height,
                 const std::vector<ScreenRect>& monitors)
{
    long long shown = 0;
    for (size_t i = 0; i < monitors.size(); ++i) {
        const ScreenRect& m = monitors[i];
        if (std::find(monitors.begin(), monitors.begin() + static_cast<long>(i), m) != monitors.begin() + static_cast<long>(i))
            continue;
        shown += overlap(left, width, m.left, m.width) * overlap(top, height, m.top, m.height);
    }
    return shown >= width * height;
}

// The monitor holding the largest part of the title bar; the nearest one to
// its centre when none holds any.
const ScreenRect* titleMonitor(const ScreenRect& frame, long long width, long long height,
                               const std::vector<ScreenRect>& monitors)
{
    const ScreenRect* best = nullptr;
    long long most = 0;
    for (const ScreenRect& m : monitors) {
        const long long part = overlap(frame.left, width, m.left, m.width) * overlap(frame.top, height, m.top, m.height);
        if (part > most) {
            most = part;
            best = &m;
        }
    }
    return best ? best : nearestMonitor(frame.left + width / 2, frame.top + height / 2, monitors);
}

} // namespace

ScreenPoint reachablePosition(const ScreenRect& frame, int titleHeight, const std::vector<ScreenRect>& monitors)
{
    const long long width = std::max(frame.width, 1);
    const long long height = std::max(titleHeight, 1);
    const long long frameHeight = std::max(frame.height, 1);
    if (whollyShown(frame.left, frame.top, width, frameHeight, monitors)) return { frame.left, frame.top };

    // A window that fits on its monitor goes wholly onto it, not merely its title bar.
    if (const ScreenRect* home = titleMonitor(frame, width, height, monitors);
        home && width <= home->width && frameHeight <= home->height)
        return { slideInto(frame.left, width, home->left, home->width),
                 slideInto(frame.top, frameHeight, home->top, home->height) };

    const long long grip = std::min<long long>(kReachableTitleWidth, width);
    for (const ScreenRect& m : monitors)
        if (overlap(frame.top, height, m.top, m.height) >= height && overlap(frame.left, width, m.left, m.width) >= grip)
            return { frame.left, frame.top };
    const ScreenRect* nearest = nearestMonitor(frame.left + width / 2, frame.top + height / 2, monitors);
    if (!nearest) return { frame.left, frame.top };
    return { slideInto(frame.left, width, nearest->left, nearest->width),
             slideInto(frame.top, frameHeight, nearest->top, nearest->height) };
}

} // namespace kaptivus::platform
