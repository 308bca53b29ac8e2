// Plain screen geometry shared by the platform services: rectangles, points
// and window ids in root-window (virtual desktop) coordinates. No X types.
#pragma once

#include <cstdint>

namespace kaptivus::platform {

// An X window id; 0 means "no window".
using WindowId = uint32_t;

struct ScreenPoint {
    int x = 0;
    int y = 0;
    friend bool operator==(const ScreenPoint&, const ScreenPoint&) = default;
};

// Left and top inclusive; right() and bottom() are exclusive.
struct ScreenRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    int right() const { return left + width; }
    int bottom() const { return top + height; }
    bool isEmpty() const { return width <= 0 || height <= 0; }
    bool contains(ScreenPoint p) const { return p.x >= left && p.x < right() && p.y >= top && p.y < bottom(); }
    friend bool operator==(const ScreenRect&, const ScreenRect&) = default;
};

// The overlap of two rectangles; empty (width or height 0) when they do not meet.
ScreenRect intersected(const ScreenRect& a, const ScreenRect& b);
// The smallest rectangle holding both; an empty one adds nothing.
ScreenRect united(const ScreenRect& a, const ScreenRect& b);

} // namespace kaptivus::platform
