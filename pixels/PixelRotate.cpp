// The rotation: the bounding box of a turned picture and the bilinear turn
// itself. No Qt, no X11.
//
// The rule is written in x87 extended precision (long double): the chosen
// source pixel and every interpolated byte depend on the last bits of its
// sums. The turn computes each pixel in double first and keeps that result
// only where it is provably the same: far from every rounding tie, where the
// tiny difference between double and extended sums cannot tip a rounding.
// Anywhere near a tie, the pixel is computed again in extended precision.
#pragma GCC optimize("O3")

#include "pixels/PixelBuffer.h"
#include "pixels/PixelEffects.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// The same in double, valid for |v| < 2^51.
inline double RoundHalfEven(double v)
{
    constexpr double kShift = 0x1.8p52;
    return (v + kShift) - kShift;
}

// For an integral value already known to fit an int.
inline int ToInt(long double integral)
{
    return static_cast<int>(static_cast<double>(integral));
}

// A double result is kept only when it lies within this distance of an integer,
// that is at least 1e-4 away from the ties at half-integers. The double sums
// stay within 1e-6 of the extended ones wherever the fast path is taken.
constexpr double kSafeDistance = 0.4999;

struct Turn {
    const TPixelBase* source = nullptr;
    const uint8_t* sourceEnd = nullptr; // one past the last byte of pixel data
    int sourceWidth = 0;
    int sourceHeight = 0;
    long double s = 0, c = 0, cx = 0, cy = 0, dx = 0, dy = 0;
    // m × c and m × s depend only on the column: computed once per column.
    std::vector<long double> mc, ms;
    // The same sums in double, for the fast path.
    bool fast = false;
    double cxFast = 0, cyFast = 0; // cx - dx and cy - dy
    std::vector<double> mcFast, msFast;
};

// The four samples around (ix, iy); the right and lower ones clamp at the edge.
struct Samples {
    const uint8_t* p00;
    const uint8_t* p01;
    const uint8_t* p10;
    const uint8_t* p11;
};

Samples SamplesAt(const Turn& turn, int ix, int iy)
{
    const int ix1 = ClampInt(ix + 1, 0, turn.sourceWidth - 1);
    const int iy1 = ClampInt(iy + 1, 0, turn.sourceHeight - 1);
    const uint8_t* upper = turn.source->rowBytes(iy);
    const uint8_t* lower = turn.source->rowBytes(iy1);
    return { upper + 3 * ix, upper + 3 * ix1, lower + 3 * ix, lower + 3 * ix1 };
}

// The rule itself, in extended precision, for destination pixel (x, y).
void TurnPixelExact(const Turn& turn, int x, int y, uint8_t* out)
{
    const long double l = 2.0L * (y - turn.cy) + 1.0L;
    const auto column = static_cast<size_t>(x);
    const long double sx = (turn.mc[column] - l * turn.s - 1.0L) / 2.0L + turn.cx - turn.dx;
    const long double sy = (turn.ms[column] + l * turn.c - 1.0L) / 2.0L + turn.cy - turn.dy;
    const long double rx = RoundHalfEven(sx);
    const long double ry = RoundHalfEven(sy);
    if (!(rx >= 0 && rx < turn.sourceWidth && ry >= 0 && ry < turn.sourceHeight)) return;
    const long double fx = sx - rx;
    const long double fy = sy - ry;
    const Samples p = SamplesAt(turn, ToInt(rx), ToInt(ry));
    for (int c = 0; c < 3; ++c) {
        const long double top = p.p00[c] + fx * (p.p01[c] - p.p00[c]);
        const long double bottom = p.p10[c] + fx * (p.p11[c] - p.p10[c]);
        out[c] = static_cast<uint8_t>(ClampByte(ToInt(RoundHalfEven(top + fy * (bottom - top)))));
    }
}

// The blend in double; false, with nothing written, when a channel lies too
// close to a rounding tie to be sure.
bool BlendDouble(const Samples& p, double fx, double fy, uint8_t* out)
{
    int values[3];
    for (int c = 0; c < 3; ++c) {
        const double top = p.p00[c] + fx * (p.p01[c] - p.p00[c]);
        const double bottom = p.p10[c] + fx * (p.p11[c] - p.p10[c]);
        const double v = top + fy * (bottom - top);
        const double rounded = RoundHalfEven(v);
        if (!(std::fabs(v - rounded) < kSafeDistance)) return false;
        values[c] = static_cast<int>(rounded);
    }
    for (int c = 0; c < 3; ++c)
        out[c] = static_cast<uint8_t>(ClampByte(values[c]));
    return true;
}

#if defined(__SSE2__)
// The three channels at once in single precision. Its error stays below 2e-4
// (sums under 512, a few roundings of 2^-16 each), so a lane is kept only when
// it lies more than 1e-3 from a tie.
constexpr float kSafeDistanceFloat = 0.499f;

// A pixel's four bytes as floats; the fourth lane belongs to the next pixel
// and is ignored.
inline __m128 PixelLanes(const uint8_t* pixel)
{
    int32_t word = 0;
    std::memcpy(&word, pixel, sizeof word);
    const __m128i zero = _mm_setzero_si128();
    const __m128i bytes = _mm_cvtsi32_si128(word);
    return _mm_cvtepi32_ps(_mm_unpacklo_epi16(_mm_unpacklo_epi8(bytes, zero), zero));
}

bool BlendFloat(const Samples& p, double fx, double fy, uint8_t* out)
{
    const __m128 a = PixelLanes(p.p00);
    const __m128 b = PixelLanes(p.p01);
    const __m128 c = PixelLanes(p.p10);
    const __m128 d = PixelLanes(p.p11);
    const __m128 vx = _mm_set1_ps(static_cast<float>(fx));
    const __m128 vy = _mm_set1_ps(static_cast<float>(fy));
    const __m128 top = _mm_add_ps(a, _mm_mul_ps(vx, _mm_sub_ps(b, a)));
    const __m128 bottom = _mm_add_ps(c, _mm_mul_ps(vx, _mm_sub_ps(d, c)));
    const __m128 v = _mm_add_ps(top, _mm_mul_ps(vy, _mm_sub_ps(bottom, top)));
    const __m128 shift = _mm_set1_ps(0x1.8p23f); // spacing 1 above 2^23: rounds half to even
    const __m128 rounded = _mm_sub_ps(_mm_add_ps(v, shift), shift);
    const __m128 distance = _mm_andnot_ps(_mm_set1_ps(-0.0f), _mm_sub_ps(v, rounded));
    if ((_mm_movemask_ps(_mm_cmplt_ps(distance, _mm_set1_ps(kSafeDistanceFloat))) & 7) != 7) return false;
    // Saturating packs clamp to 0..255, as ClampByte does.
    const __m128i ints = _mm_cvtps_epi32(rounded);
    const __m128i packed = _mm_packus_epi16(_mm_packs_epi32(ints, ints), _mm_setzero_si128());
    const auto word = static_cast<uint32_t>(_mm_cvtsi128_si32(packed));
    out[0] = static_cast<uint8_t>(word);
    out[1] = static_cast<uint8_t>(word >> 8);
    out[2] = static_cast<uint8_t>(word >> 16);
    return true;
}
#endif

// The blend in double or single precision; false when it cannot be sure.
inline bool BlendFast(const Turn& turn, const Samples& p, double fx, double fy, uint8_t* out)
{
#if defined(__SSE2__)
    // Four-byte reads need a byte after the last sample (p11 is the highest).
    if (p.p11 + 4 <= turn.sourceEnd) return BlendFloat(p, fx, fy, out);
#else
    (void)turn;
#endif
    return BlendDouble(p, fx, fy, out);
}

// Destination pixel (x, y) of a row with l × s and l × c given in double.
inline void TurnPixel(const Turn& turn, int x, int y, double ls, double lc, uint8_t* out)
{
    const auto column = static_cast<size_t>(x);
    const double sx = (turn.mcFast[column] - ls - 1.0) / 2.0 + turn.cxFast;
    const double sy = (turn.msFast[column] + lc - 1.0) / 2.0 + turn.cyFast;
    const double rx = RoundHalfEven(sx);
    const double ry = RoundHalfEven(sy);
    if (!(std::fabs(sx - rx) < kSafeDistance && std::fabs(sy - ry) < kSafeDistance)) {
        TurnPixelExact(turn, x, y, out);
        return;
    }
    if (!(rx >= 0 && rx < turn.sourceWidth && ry >= 0 && ry < turn.sourceHeight)) return;
    if (!BlendFast(turn, SamplesAt(turn, static_cast<int>(rx), static_cast<int>(ry)), sx - rx, sy - ry, out))
        TurnPixelExact(turn, x, y, out);
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

namespace {

// The destination is walked in square tiles: at most angles neighbouring
// destination rows read source rows far apart, and a tile keeps the source
// pixels it needs in the cache. Each pixel's value depends only on its own
// position, so the order of the walk changes nothing.
constexpr int kTile = 64;

// Below this bound on every centre, offset and size, the double sums of the
// fast path stay within 1e-6 of the extended ones (magnitudes under 2^22,
// a handful of roundings of at most 2^-30 each).
constexpr long double kFastLimit = 1 << 20;

// True when no pixel of the tile [x0, x1) × [y0, y1) can land inside the source.
// The source position is affine in (x, y), so the tile's positions lie between
// those of its corners; the rough double arithmetic is far within the margin.
bool TileMissesSource(const Turn& turn, int x0, int y0, int x1, int y1)
{
    const auto s = static_cast<double>(turn.s);
    const auto c = static_cast<double>(turn.c);
    const auto cx = static_cast<double>(turn.cx);
    const auto cy = static_cast<double>(turn.cy);
    int below = 0, above = 0, before = 0, after = 0;
    for (const int y : { y0, y1 - 1 })
        for (const int x : { x0, x1 - 1 }) {
            const double m = 2.0 * (x - cx) + 1.0;
            const double l = 2.0 * (y - cy) + 1.0;
            const double sx = (m * c - l * s - 1.0) / 2.0 + cx - static_cast<double>(turn.dx);
            const double sy = (m * s + l * c - 1.0) / 2.0 + cy - static_cast<double>(turn.dy);
            before += sx < -2.0;
            after += sx > turn.sourceWidth + 1.0;
            above += sy < -2.0;
            below += sy > turn.sourceHeight + 1.0;
        }
    return before == 4 || after == 4 || above == 4 || below == 4;
}

void TurnTile(const Turn& turn, TPixelBase& destination, int x0, int y0, int x1, int y1)
{
    for (int y = y0; y < y1; ++y) {
        uint8_t* out = destination.rowBytes(y) + 3 * x0;
        if (!turn.fast) {
            for (int x = x0; x < x1; ++x, out += 3)
                TurnPixelExact(turn, x, y, out);
            continue;
        }
        const double l = 2.0 * (y - static_cast<double>(turn.cy)) + 1.0;
        const double ls = l * static_cast<double>(turn.s);
        const double lc = l * static_cast<double>(turn.c);
        for (int x = x0; x < x1; ++x, out += 3)
            TurnPixel(turn, x, y, ls, lc, out);
    }
}

void PrepareColumns(Turn& turn, int width)
{
    turn.mc.resize(static_cast<size_t>(width));
    turn.ms.resize(static_cast<size_t>(width));
    if (turn.fast) {
        turn.mcFast.resize(static_cast<size_t>(width));
        turn.msFast.resize(static_cast<size_t>(width));
    }
    for (int x = 0; x < width; ++x) {
        const auto column = static_cast<size_t>(x);
        const long double m = 2.0L * (x - turn.cx) + 1.0L;
        turn.mc[column] = m * turn.c;
        turn.ms[column] = m * turn.s;
        if (turn.fast) {
            turn.mcFast[column] = static_cast<double>(m) * static_cast<double>(turn.c);
            turn.msFast[column] = static_cast<double>(m) * static_cast<double>(turn.s);
        }
    }
}

} // namespace

void RotateBilinear(
    const TPixelBase& source, TPixelBase& destination, long double cx, long double cy, long double angle)
{
    if (source.isEmpty() || destination.isEmpty()) return;
    Turn turn;
    turn.source = &source;
    turn.sourceEnd = source.data() + source.size();
    turn.sourceWidth = source.width();
    turn.sourceHeight = source.height();
    const long double t = -angle * kPi / 180.0L;
    // Sine and cosine are kept as doubles, then enter extended sums again.
    turn.s = static_cast<double>(std::sin(t));
    turn.c = static_cast<double>(std::cos(t));
    turn.cx = cx;
    turn.cy = cy;
    // Exact halves: with the exact centre, odd sizes turn about the true middle.
    turn.dx = static_cast<long double>(destination.width() - source.width()) / 2.0L;
    turn.dy = static_cast<long double>(destination.height() - source.height()) / 2.0L;
    const int width = destination.width();
    const int height = destination.height();
    const long double extent = std::fabs(cx) + std::fabs(cy) + std::fabs(turn.dx) + std::fabs(turn.dy) + width + height
        + turn.sourceWidth + turn.sourceHeight;
    turn.fast = std::isfinite(turn.s) && extent < kFastLimit; // false for NaN too
    turn.cxFast = static_cast<double>(cx - turn.dx);
    turn.cyFast = static_cast<double>(cy - turn.dy);
    PrepareColumns(turn, width);
    for (int y0 = 0; y0 < height; y0 += kTile) {
        const int y1 = std::min(height, y0 + kTile);
        for (int x0 = 0; x0 < width; x0 += kTile) {
            const int x1 = std::min(width, x0 + kTile);
            if (!TileMissesSource(turn, x0, y0, x1, y1)) TurnTile(turn, destination, x0, y0, x1, y1);
        }
    }
}

} // namespace kaptivus::pixels
