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

} // namespace

ScreenPoint reachablePosition(const ScreenRect& frame, int titleHeight, const std::vector<ScreenRect>& monitors)
{
    const long long width = std::max(frame.width, 1);
    const long long height = std::max(titleHeight, 1);
    const long long grip = std::min<long long>(kReachableTitleWidth, width);
    for (const ScreenRect& m : monitors)
        if (overlap(frame.top, height, m.top, m.height) >= height && overlap(frame.left, width, m.left, m.width) >= grip)
            return { frame.left, frame.top };

    const ScreenRect* nearest = nullptr;
    long long best = std::numeric_limits<long long>::max();
    const long long centreX = frame.left + width / 2;
    const long long centreY = frame.top + height / 2;
    for (const ScreenRect& m : monitors) {
        if (m.isEmpty()) continue;
        const long long dx = gap(centreX, m.left, m.width);
        const long long dy = gap(centreY, m.top, m.height);
        const long long distance = dx + dy;
        if (distance < best) {
            best = distance;
            nearest = &m;
        }
    }
    if (!nearest) return { frame.left, frame.top };
    return { slideInto(frame.left, width, nearest->left, nearest->width),
             slideInto(frame.top, std::max(frame.height, 1), nearest->top, nearest->height) };
}

} // namespace kaptivus::platform
