// The rotation: the bounding box of a turned picture and the bilinear turn
// itself. No Qt, no X11.
//
// The arithmetic is x87 extended precision (long double) on purpose: the
// chosen source pixel and every interpolated byte depend on the last bits of
// these sums, and the results must not change from one build to the next.
#pragma GCC optimize("O3")

#include "pixels/PixelBuffer.h"
#include "pixels/PixelEffects.h"

#include <climits>
#include <cmath>
#include <vector>

namespace kaptivus::pixels {

namespace {

constexpr long double kPi = 3.141592653589793238462643383279502884L;

// Round to nearest, ties to even, by pushing the value into the range where the
// spacing of 64-bit-mantissa numbers is exactly 1. Valid for |v| < 2^62, which
// covers every coordinate that can land inside a buffer; larger values stay
// large and fail the bounds test. NaN stays NaN. (frndint and nearbyintl give
// the same result, several times slower.)
inline long double RoundHalfEven(long double v)
{
    constexpr long double kShift = 0x1.8p63L;
    return (v + kShift) - kShift;
}

// For an integral value already known to fit an int.
inline int ToInt(long double integral) { return static_cast<int>(static_cast<double>(integral)); }

struct Sampler {
    const TPixelBase& source;
    int width;
    int height;
};

// Bilinear value of one destination pixel from source position (sx, sy) whose
// rounded coordinates (rx, ry) lie inside the source.
inline void Interpolate(const Sampler& src, long double sx, long double sy, long double rx, long double ry,
                        uint8_t* out)
{
    const int ix = ToInt(rx);
    const int iy = ToInt(ry);
    const long double fx = sx - rx;
    const long double fy = sy - ry;
    const int ix1 = ClampInt(ix + 1, 0, src.width - 1);
    const int iy1 = ClampInt(iy + 1, 0, src.height - 1);
    const uint8_t* upper = src.source.rowBytes(iy);
    const uint8_t* lower = src.source.rowBytes(iy1);
    const uint8_t* p00 = upper + 3 * ix;
    const uint8_t* p01 = upper + 3 * ix1;
    const uint8_t* p10 = lower + 3 * ix;
    const uint8_t* p11 = lower + 3 * ix1;
    for (int c = 0; c < 3; ++c) {
        const long double top = p00[c] + fx * (p01[c] - p00[c]);
        const long double bottom = p10[c] + fx * (p11[c] - p10[c]);
        out[c] = static_cast<uint8_t>(ClampByte(ToInt(RoundHalfEven(top + fy * (bottom - top)))));
    }
}

} // namespace

bool RotatedBounds(const TPixelBase& source, TPixelBuffer& destination, long double angle)
{
    long double width = NAN;
    long double height = NAN;
    if (std::isfinite(angle)) {
        const long double a = std::fabs(angle) * kPi / 180.0L;
        const long double c = std::cos(a);
        const long double s = std::sin(a);
        const long double w = source.width();
        const long double h = source.height();
        width = RoundHalfEven(std::fabs(c * w) + std::fabs(s * h));
        height = RoundHalfEven(std::fabs(s * w) + std::fabs(c * h));
    }
    // Written so that NaN fails too.
    if (!(width >= 0 && width <= INT_MAX && height >= 0 && height <= INT_MAX)) {
        (void)destination.Allocate(0, 0);
        return false;
    }
    return destination.Allocate(ToInt(width), ToInt(height));
}

void RotateBilinear(const TPixelBase& source, TPixelBase& destination, long double cx, long double cy,
                    long double angle)
{
    if (source.isEmpty() || destination.isEmpty()) return;
    const long double t = -angle * kPi / 180.0L;
    // Sine and cosine are kept as doubles, then enter extended sums again.
    const long double s = static_cast<double>(std::sin(t));
    const long double c = static_cast<double>(std::cos(t));
    // Exact halves: with the exact centre, odd sizes turn about the true middle.
    const long double dx = static_cast<long double>(destination.width() - source.width()) / 2.0L;
    const long double dy = static_cast<long double>(destination.height() - source.height()) / 2.0L;
    const Sampler src{source, source.width(), source.height()};
    const long double sourceWidth = source.width();
    const long double sourceHeight = source.height();

    // m × c and m × s depend only on the column: computed once per column.
    const int width = destination.width();
    std::vector<long double> mc(static_cast<size_t>(width));
    std::vector<long double> ms(static_cast<size_t>(width));
    for (int x = 0; x < width; ++x) {
        const long double m = 2.0L * (x - cx) + 1.0L;
        mc[static_cast<size_t>(x)] = m * c;
        ms[static_cast<size_t>(x)] = m * s;
    }
    for (int y = 0; y < destination.height(); ++y) {
        const long double l = 2.0L * (y - cy) + 1.0L;
        const long double ls = l * s;
        const long double lc = l * c;
        uint8_t* out = destination.rowBytes(y);
        for (int x = 0; x < width; ++x, out += 3) {
            const long double sx = (mc[static_cast<size_t>(x)] - ls - 1.0L) / 2.0L + cx - dx;
            const long double rx = RoundHalfEven(sx);
            if (!(rx >= 0 && rx < sourceWidth)) continue;
            const long double sy = (ms[static_cast<size_t>(x)] + lc - 1.0L) / 2.0L + cy - dy;
            const long double ry = RoundHalfEven(sy);
            if (!(ry >= 0 && ry < sourceHeight)) continue;
            Interpolate(src, sx, sy, rx, ry, out);
        }
    }
}

} // namespace kaptivus::pixels
