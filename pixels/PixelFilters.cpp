// The geometric and neighbourhood effects: the two mirrors, emboss and the
// 3×3 convolution. No Qt, no X11.
#pragma GCC optimize("O3")

#include "pixels/PixelEffects.h"

#include <algorithm>
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif
#include <cstring>
#include <vector>

namespace kaptivus::pixels {

namespace {

void SwapBytes(uint8_t* __restrict a, uint8_t* __restrict b, int count)
{
    for (int i = 0; i < count; ++i) {
        const uint8_t t = a[i];
        a[i] = b[i];
        b[i] = t;
    }
}

// Writes source pixels [first, width) of a row reversed into destination, in
// the places they take in the mirrored row.
void ReversePixelsFrom(const uint8_t* __restrict source, uint8_t* __restrict destination, int width, int first)
{
    const uint8_t* from = source + 3 * (width - 1 - first);
    for (int x = first; x < width; ++x, from -= 3) {
        destination[3 * x] = from[0];
        destination[3 * x + 1] = from[1];
        destination[3 * x + 2] = from[2];
    }
}

#if defined(__x86_64__) || defined(__i386__)
// Five pixels a step with one byte shuffle. Each 16-byte load starts one byte
// before its five source pixels and each store spills one byte into the next
// destination pixel, which the following step (or the plain tail) rewrites; the
// loop stops while both stay inside the row.
__attribute__((target("ssse3"))) void ReversePixelsSsse3(const uint8_t* __restrict source,
                                                          uint8_t* __restrict destination, int width)
{
    const __m128i reverse = _mm_setr_epi8(13, 14, 15, 10, 11, 12, 7, 8, 9, 4, 5, 6, 1, 2, 3, -128);
    int x = 0;
    for (; x + 6 <= width; x += 5) {
        const int block = width - 5 - x; // first of the five source pixels, at least 1
        const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + 3 * block - 1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + 3 * x), _mm_shuffle_epi8(pixels, reverse));
    }
    ReversePixelsFrom(source, destination, width, x);
}
#endif

// Writes the pixels of source into destination in reverse order.
void ReversePixels(const uint8_t* __restrict source, uint8_t* __restrict destination, int width)
{
#if defined(__x86_64__) || defined(__i386__)
    static const bool ssse3 = __builtin_cpu_supports("ssse3");
    if (ssse3) {
        ReversePixelsSsse3(source, destination, width);
        return;
    }
#endif
    ReversePixelsFrom(source, destination, width, 0);
}

} // namespace

void FlipRows(TPixelBase& buffer)
{
    if (buffer.isEmpty()) return;
    const int count = buffer.width() * 3;
    for (int top = 0, bottom = buffer.height() - 1; top < bottom; ++top, --bottom)
        SwapBytes(buffer.rowBytes(top), buffer.rowBytes(bottom), count);
}

void FlipColumns(TPixelBase& buffer)
{
    if (buffer.isEmpty()) return;
    const int width = buffer.width();
    std::vector<uint8_t> line(static_cast<size_t>(width) * 3);
    for (int y = 0; y < buffer.height(); ++y) {
        uint8_t* bytes = buffer.rowBytes(y);
        std::memcpy(line.data(), bytes, line.size());
        ReversePixels(line.data(), bytes, width);
    }
}

namespace {

// p = ((255 - reference) + p) >> 1 for each byte.
void EmbossBytes(uint8_t* __restrict bytes, const uint8_t* __restrict reference, int count)
{
    for (int i = 0; i < count; ++i)
        bytes[i] = static_cast<uint8_t>(((255 - reference[i]) + bytes[i]) >> 1);
}

// Every pixel of the row against one reference pixel.
void EmbossAgainstPixel(uint8_t* bytes, int width, const uint8_t reference[3])
{
    const int inverse[3] = { 255 - reference[0], 255 - reference[1], 255 - reference[2] };
    for (int x = 0; x < width; ++x, bytes += 3)
        for (int c = 0; c < 3; ++c)
            bytes[c] = static_cast<uint8_t>((inverse[c] + bytes[c]) >> 1);
}

} // namespace

void EmbossPicture(TPixelBase& buffer)
{
    if (buffer.isEmpty()) return;
    const int width = buffer.width();
    const int height = buffer.height();
    // Every reference is read from the unchanged picture: rows above the last
    // two refer to the next row, which is not yet touched; the last two rows
    // refer to one pixel of the bottom row, kept aside before it changes.
    const int last = height - 1;
    const int referenceColumn = std::min(1, width - 1);
    uint8_t bottomPixel[3];
    std::memcpy(bottomPixel, buffer.rowBytes(last) + 3 * referenceColumn, 3);
    for (int y = 0; y + 2 < height; ++y) {
        uint8_t* bytes = buffer.rowBytes(y);
        const uint8_t* below = buffer.rowBytes(y + 1);
        // Pixel x refers to pixel x + 1 below it; the last one to the last one.
        EmbossBytes(bytes, below + 3, 3 * (width - 1));
        EmbossBytes(bytes + 3 * (width - 1), below + 3 * (width - 1), 3);
    }
    for (int y = std::max(0, height - 2); y < height; ++y)
        EmbossAgainstPixel(buffer.rowBytes(y), width, bottomPixel);
}

} // namespace kaptivus::pixels
