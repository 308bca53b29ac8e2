// The selection frame drawn straight into 32-bit display rows: a dotted,
// one-pixel outline whose pixels are inverted, so that drawing the same frame
// a second time gives back every pixel exactly. No Qt, no X11.
#pragma once

#include <cstdint>

namespace kaptivus::pixels {

// 32-bit pixels, rows `strideWords` words apart (a display image's rows).
struct PixelRows32 {
    uint32_t* bits = nullptr;
    int width = 0;
    int height = 0;
    int strideWords = 0;
};

// The frame between two corner pixels, both included, in any order.
struct FrameCorners {
    int x1 = 0;
    int y1 = 0;
    int x2 = 0;
    int y2 = 0;
};

// Inverts the colour bits (the low 24) of every other pixel of the outline;
// the top byte is kept. Each outline pixel is visited once, also for frames one
// pixel wide or high, so the operation is its own inverse. Parts outside the
// rows are clipped; corners may lie anywhere in the int range.
void InvertDottedFrame(PixelRows32 rows, FrameCorners frame);

} // namespace kaptivus::pixels
