// The rectangle fill of the pixel buffers.
#include "pixels/PixelFill.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace kaptivus::pixels {

void FillArea(TPixelBase& buffer, int x1, int y1, int x2, int y2, PixelBGR pixel)
{
    // ClampInt into 0 .. -1 would give -1: nothing to fill in an empty buffer.
    if (buffer.isEmpty()) return;
    x1 = ClampInt(x1, 0, buffer.width() - 1);
    x2 = ClampInt(x2, 0, buffer.width() - 1);
    y1 = ClampInt(y1, 0, buffer.height() - 1);
    y2 = ClampInt(y2, 0, buffer.height() - 1);
    if (x1 > x2) std::swap(x1, x2);
    if (y1 > y2) std::swap(y1, y2);
    // A grey (white, black) pixel is one byte repeated: a plain memset per row.
    const bool grey = pixel.b == pixel.g && pixel.g == pixel.r;
    const size_t bytes = static_cast<size_t>(x2 - x1 + 1) * 3;
    for (int y = y1; y <= y2; ++y) {
        if (grey)
            std::memset(buffer.rowBytes(y) + static_cast<size_t>(x1) * 3, pixel.b, bytes);
        else
            std::fill(buffer.row(y) + x1, buffer.row(y) + x2 + 1, pixel);
    }
}

} // namespace kaptivus::pixels
