// Plain, literal versions of the pixel effects: tables built entry by entry,
// pixels visited one at a time, the rotation with its integer centre. The fast
// effects are compared with these byte for byte. Also random test pictures of
// awkward sizes, with marked row padding.
#pragma once

#include "pixels/PixelBuffer.h"
#include "pixels/PixelEffects.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace kaptivus::pixels::effects_test {

struct Size {
    int width;
    int height;
};

// One pixel, one row, one column, odd widths (all four paddings), a wide row.
inline const std::vector<Size> kAwkwardSizes = { { 1, 1 }, { 1, 7 }, { 7, 1 }, { 2, 2 }, { 3, 5 }, { 5, 3 }, { 2, 9 },
    { 9, 2 }, { 13, 7 }, { 31, 17 }, { 64, 3 }, { 50, 6 } };
inline const std::vector<Size> kEmptySizes = { { 0, 0 }, { 0, 5 }, { 5, 0 } };

inline constexpr uint8_t kPaddingMark = 0xA5;

inline std::string Describe(const Size& size)
{
    return std::to_string(size.width) + "x" + std::to_string(size.height);
}

// Random pixels; the padding bytes carry a mark that no effect may touch.
inline void FillRandom(TPixelBuffer& buffer, Size size, uint32_t seed)
{
    (void)buffer.Allocate(size.width, size.height);
    std::mt19937 random(seed);
    for (int y = 0; y < buffer.height(); ++y) {
        uint8_t* bytes = buffer.rowBytes(y);
        for (int i = 0; i < buffer.width() * 3; ++i)
            bytes[i] = static_cast<uint8_t>(random());
        for (int i = buffer.width() * 3; i < buffer.rowStride(); ++i)
            bytes[i] = kPaddingMark;
    }
}

// Random pixels drawn from a few colours, so exact-colour effects find matches.
inline void FillFewColours(TPixelBuffer& buffer, Size size, const std::vector<Color>& colours, uint32_t seed)
{
    FillRandom(buffer, size, seed);
    std::mt19937 random(seed ^ 0x5555u);
    for (int y = 0; y < buffer.height(); ++y)
        for (int x = 0; x < buffer.width(); ++x)
            if (random() % 4 != 0) buffer.row(y)[x] = ColorToPixel(colours[random() % colours.size()]);
}

inline void FillUniform(TPixelBuffer& buffer, Size size, PixelBGR pixel)
{
    (void)buffer.Allocate(size.width, size.height);
    for (int y = 0; y < buffer.height(); ++y)
        for (int x = 0; x < buffer.width(); ++x)
            buffer.row(y)[x] = pixel;
}

// Whole memory, padding included.
inline bool SameBytes(const TPixelBase& a, const TPixelBase& b)
{
    return a.width() == b.width() && a.height() == b.height() && a.size() == b.size()
        && (a.size() == 0 || std::memcmp(a.data(), b.data(), static_cast<size_t>(a.size())) == 0);
}

// Pixel bytes only: a buffer that went through AssignFrom has fresh padding.
inline bool SamePixels(const TPixelBase& a, const TPixelBase& b)
{
    if (a.width() != b.width() || a.height() != b.height()) return false;
    for (int y = 0; y < a.height(); ++y)
        if (std::memcmp(a.rowBytes(y), b.rowBytes(y), size_t(a.width()) * 3) != 0) return false;
    return true;
}

inline void Copy(const TPixelBase& source, TPixelBuffer& destination)
{
    (void)destination.AssignFrom(source);
}

using Table = std::vector<uint8_t>;

inline void ApplyTables(TPixelBase& buffer, const Table& blue, const Table& green, const Table& red)
{
    for (int y = 0; y < buffer.height(); ++y)
        for (int x = 0; x < buffer.width(); ++x) {
            PixelBGR& p = buffer.row(y)[x];
            p = PixelBGR { blue[p.b], green[p.g], red[p.r] };
        }
}

// 64-bit products: the rules' values for any int amount, without overflow.
inline void ReferenceLightness(TPixelBase& buffer, int a)
{
    Table t(256);
    for (int64_t i = 0; i < 256; ++i) {
        const int64_t v = a < 0 ? i - ((i * -int64_t { a }) >> 8) : i + (((255 - i) * a) >> 8);
        t[size_t(i)] = uint8_t(v > 255 ? 255 : (v < 0 ? 0 : v));
    }
    ApplyTables(buffer, t, t, t);
}

inline void ReferenceContrast(TPixelBase& buffer, int a)
{
    Table t(256);
    for (int64_t i = 0; i < 256; ++i) {
        const int64_t step = (std::llabs(128 - i) * a) / 256;
        const int64_t v = i <= 126 ? i - step : i + step;
        t[size_t(i)] = uint8_t(v > 255 ? 255 : (v < 0 ? 0 : v));
    }
    ApplyTables(buffer, t, t, t);
}

inline void ReferenceShift(TPixelBase& buffer, int r, int g, int b)
{
    auto table = [](int offset) {
        Table t(256);
        for (int64_t i = 0; i < 256; ++i) {
            const int64_t v = i + offset;
            t[size_t(i)] = uint8_t(v > 255 ? 255 : (v < 0 ? 0 : v));
        }
        return t;
    };
    ApplyTables(buffer, table(b), table(g), table(r));
}

inline void ReferenceSaturation(TPixelBase& buffer, int a)
{
    std::vector<int64_t> steps(256);
    for (int64_t i = 0; i < 256; ++i)
        steps[size_t(i)] = (i * a) >> 8;
    std::vector<int64_t> greys(768);
    for (int m = 0; m < 256; ++m)
        for (int k = 0; k < 3; ++k)
            greys[size_t(3 * m + k)] = m - steps[size_t(m)];
    auto clamp = [](int64_t v) { return uint8_t(v > 255 ? 255 : (v < 0 ? 0 : v)); };
    for (int y = 0; y < buffer.height(); ++y)
        for (int x = 0; x < buffer.width(); ++x) {
            PixelBGR& p = buffer.row(y)[x];
            const int64_t d = greys[size_t(p.b + p.g + p.r)];
            p = PixelBGR { clamp(d + steps[p.b]), clamp(d + steps[p.g]), clamp(d + steps[p.r]) };
        }
}

inline void ReferenceGrey(TPixelBase& buffer)
{
    for (int y = 0; y < buffer.height(); ++y)
        for (int x = 0; x < buffer.width(); ++x) {
            PixelBGR& p = buffer.row(y)[x];
            const auto grey = uint8_t((p.b + p.g + p.r) / 3);
            p = PixelBGR { grey, grey, grey };
        }
}

inline void ReferenceInvert(TPixelBase& buffer)
{
    Table t(256);
    for (int i = 0; i < 256; ++i)
        t[size_t(i)] = uint8_t(255 - i);
    ApplyTables(buffer, t, t, t);
}

inline void ReferenceExchange(TPixelBase& buffer, Color c1, Color c2, bool substituteOnly)
{
    const PixelBGR p1 = ColorToPixel(c1);
    const PixelBGR p2 = ColorToPixel(c2);
    for (int y = 0; y < buffer.height(); ++y)
        for (int x = 0; x < buffer.width(); ++x) {
            PixelBGR& p = buffer.row(y)[x];
            if (p == p1)
                p = p2;
            else if (p == p2 && !substituteOnly)
                p = p1;
        }
}

inline void ReferenceFlipColumns(TPixelBase& buffer)
{
    for (int y = 0; y < buffer.height(); ++y)
        for (int i = 0; i <= (buffer.width() - 1) / 2; ++i)
            std::swap(buffer.row(y)[i], buffer.row(y)[buffer.width() - 1 - i]);
}

inline void ReferenceFlipRows(TPixelBase& buffer)
{
    std::vector<uint8_t> temp(size_t(buffer.width()) * 3);
    for (int k = 0; k <= (buffer.height() - 1) / 2; ++k) {
        uint8_t* top = buffer.rowBytes(k);
        uint8_t* bottom = buffer.rowBytes(buffer.height() - 1 - k);
        std::memcpy(temp.data(), top, temp.size());
        std::memcpy(top, bottom, temp.size());
        std::memcpy(bottom, temp.data(), temp.size());
    }
}

// The pointer walk itself: needs two rows and two columns.
inline void ReferenceEmboss(TPixelBase& buffer)
{
    const int w = buffer.width();
    const int h = buffer.height();
    const std::vector<PixelBGR> saved(buffer.row(h - 1), buffer.row(h - 1) + w);
    const PixelBGR* q = &buffer.row(1)[1];
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            PixelBGR& p = buffer.row(y)[x];
            p.b = uint8_t(((255 - q->b) + p.b) >> 1);
            p.g = uint8_t(((255 - q->g) + p.g) >> 1);
            p.r = uint8_t(((255 - q->r) + p.r) >> 1);
            if (y < h - 2 && x < w - 2) ++q;
        }
        q = y < h - 2 ? &buffer.row(y + 2)[1] : &saved[1];
    }
}

inline void ReferenceConvolve(TPixelBase& buffer, const Kernel3x3& k)
{
    int d = 0;
    for (int i = 0; i < 9; ++i)
        d += k[size_t(i)];
    if (d == 0) d = 1;
    for (int y = 0; y < buffer.height(); ++y)
        for (int x = 0; x < buffer.width(); ++x)
            for (int c = 0; c < 3; ++c) {
                int sum = 0;
                for (int j = 0; j <= 2; ++j)
                    for (int i = 0; i <= 2; ++i) {
                        const int col = ClampInt(x + j - 1, 0, buffer.width() - 1);
                        const int row = ClampInt(y + i - 1, 0, buffer.height() - 1);
                        sum += k[size_t(3 * j + i)] * buffer.rowBytes(row)[3 * col + c];
                    }
                buffer.rowBytes(y)[3 * x + c] = uint8_t(ClampByte(sum / d));
            }
}

inline constexpr long double kReferencePi = 3.141592653589793238462643383279502884L;

// The turn, literally: centre (cx, cy) and offsets (dx, dy) as given.
inline void ReferenceRotate(const TPixelBase& src, TPixelBase& dst, long double cx, long double cy, long double dx,
    long double dy, long double angle)
{
    const long double t = -angle * kReferencePi / 180;
    const double s = static_cast<double>(sinl(t));
    const double c = static_cast<double>(cosl(t));
    for (int y = 0; y < dst.height(); ++y)
        for (int x = 0; x < dst.width(); ++x) {
            const long double m = 2 * (x - cx) + 1;
            const long double l = 2 * (y - cy) + 1;
            const long double sx = (m * (long double)c - l * (long double)s - 1) / 2 + cx - dx;
            const long double sy = (m * (long double)s + l * (long double)c - 1) / 2 + cy - dy;
            const long ix = lrintl(sx);
            const long iy = lrintl(sy);
            if (ix < 0 || ix >= src.width() || iy < 0 || iy >= src.height()) continue;
            const long double fx = sx - ix;
            const long double fy = sy - iy;
            const int ix1 = ClampInt(int(ix) + 1, 0, src.width() - 1);
            const int iy1 = ClampInt(int(iy) + 1, 0, src.height() - 1);
            for (int ch = 0; ch < 3; ++ch) {
                const int p00 = src.rowBytes(int(iy))[3 * ix + ch];
                const int p01 = src.rowBytes(int(iy))[3 * ix1 + ch];
                const int p10 = src.rowBytes(iy1)[3 * ix + ch];
                const int p11 = src.rowBytes(iy1)[3 * ix1 + ch];
                const long double top = p00 + fx * (p01 - p00);
                const long double bottom = p10 + fx * (p11 - p10);
                dst.rowBytes(y)[3 * x + ch] = uint8_t(ClampByte(int(lrintl(top + fy * (bottom - top)))));
            }
        }
}

// Integer centre and integer offsets, as the pipeline once passed them.
inline void ReferenceRotateIntegerCentre(const TPixelBase& src, TPixelBase& dst, long double angle)
{
    ReferenceRotate(src, dst, dst.width() / 2, dst.height() / 2, (dst.width() - src.width()) / 2,
        (dst.height() - src.height()) / 2, angle);
}

// The destination's true centre and exact half offsets.
inline void ReferenceRotateExactCentre(const TPixelBase& src, TPixelBase& dst, long double angle)
{
    ReferenceRotate(src, dst, dst.width() / 2.0L, dst.height() / 2.0L, (dst.width() - src.width()) / 2.0L,
        (dst.height() - src.height()) / 2.0L, angle);
}

inline void FillWhite(TPixelBase& buffer)
{
    for (int y = 0; y < buffer.height(); ++y)
        for (int x = 0; x < buffer.width(); ++x)
            buffer.row(y)[x] = PixelBGR { 255, 255, 255 };
}

} // namespace kaptivus::pixels::effects_test
