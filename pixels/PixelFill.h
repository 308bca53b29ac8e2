// Fills a rectangle of a 24-bit pixel buffer with one colour. No Qt, no X11.
#pragma once

#include "pixels/PixelBase.h"

namespace kaptivus::pixels {

// Corners are clamped into the buffer and put in order; the rectangle is
// inclusive on all sides, so corners beyond the edges fill up to the edge.
// An empty buffer is left alone.
void FillArea(TPixelBase& buffer, int x1, int y1, int x2, int y2, PixelBGR pixel);

} // namespace kaptivus::pixels
