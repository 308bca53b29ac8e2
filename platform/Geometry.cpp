// Rectangle arithmetic for the screen services.
#include "platform/Geometry.h"

#include <algorithm>

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

} // namespace kaptivus::platform
