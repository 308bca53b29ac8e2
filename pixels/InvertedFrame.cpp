// The inverting dotted outline of the area selector.
#include "pixels/InvertedFrame.h"

#include <algorithm>

namespace kaptivus::pixels {

namespace {

constexpr uint32_t ColourBits = 0x00FFFFFF;

// The dots: pixels whose coordinates add up to an even number, so that a
// frame looks the same wherever it starts.
bool isDot(long long x, long long y) { return ((x + y) & 1) == 0; }

void invertRow(const PixelRows32& rows, long long y, long long from, long long to)
{
    if (y < 0 || y >= rows.height) return;
    from = std::max(from, 0LL);
    to = std::min(to, static_cast<long long>(rows.width) - 1);
    uint32_t* line = rows.bits + y * rows.strideWords;
    for (long long x = from; x <= to; ++x)
        if (isDot(x, y)) line[x] ^= ColourBits;
}

void invertColumn(const PixelRows32& rows, long long x, long long from, long long to)
{
    if (x < 0 || x >= rows.width) return;
    from = std::max(from, 0LL);
    to = std::min(to, static_cast<long long>(rows.height) - 1);
    for (long long y = from; y <= to; ++y)
        if (isDot(x, y)) rows.bits[y * rows.strideWords + x] ^= ColourBits;
}

} // namespace

void InvertDottedFrame(PixelRows32 rows, FrameCorners frame)
{
    if (!rows.bits || rows.width <= 0 || rows.height <= 0) return;
    const long long left = std::min(frame.x1, frame.x2), right = std::max(frame.x1, frame.x2);
    const long long top = std::min(frame.y1, frame.y2), bottom = std::max(frame.y1, frame.y2);
    invertRow(rows, top, left, right);
    if (bottom != top) invertRow(rows, bottom, left, right);
    invertColumn(rows, left, top + 1, bottom - 1);
    if (right != left) invertColumn(rows, right, top + 1, bottom - 1);
}

} // namespace kaptivus::pixels
