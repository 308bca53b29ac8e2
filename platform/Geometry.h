// Plain screen geometry shared by the platform services: rectangles, points
// and window ids in root-window (virtual desktop) coordinates. No X types.
#pragma once

#include <cstdint>
#include <vector>

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

// How much of a title bar, at its full height, must lie on one monitor for the user to
// grab it with the pointer.
inline constexpr int kReachableTitleWidth = 32;

// Where a window whose outer frame is `frame` (its title bar being the frame's top
// `titleHeight` rows) goes when shown: where it is when the monitors show all of it.
// Otherwise, when it fits on the monitor holding most of its title bar (the one nearest
// to the title bar when none does), moved the least distance to lie wholly on it. A
// window larger than that stays where it is when at least kReachableTitleWidth pixels
// of its title bar (all of it when narrower) lie on one monitor, and else is moved the
// least distance into the monitor nearest to the title bar, keeping its top-left
// corner on it. Stored positions may be absurd: the arithmetic does not overflow for any int.
ScreenPoint reachablePosition(const ScreenRect& frame, int titleHeight, const std::vector<ScreenRect>& monitors);

} // namespace kaptivus::platform
