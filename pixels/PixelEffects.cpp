// The colour effects: lightness, contrast, saturation, channel shifts, grey
// scale, inversion, colour exchange and substitution. No Qt, no X11.
//
// Each rule is a function of one channel value (or of the pixel's channel sum),
// so instead of looking bytes up in a 256-entry table the loops compute the
// table's entry directly: the same integers, but GCC can turn whole rows into
// vector code, which a byte table lookup defeats.
#pragma GCC optimize("O3")

#include "pixels/PixelEffects.h"

#include <algorithm>
#include <cstdlib>

namespace kaptivus::pixels {

namespace {

// Row loops get an AVX2 twin, chosen once at load time where the processor
// has it: the byte shuffles of three-byte pixels are cheap there.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define KAPTIVUS_VECTOR_CLONES __attribute__((target_clones("default", "avx2")))
#else
#define KAPTIVUS_VECTOR_CLONES
#endif

// Beyond ±65536 every channel that can move saturates at 0 or 255 (the change
// is at least 256), so larger amounts give the same bytes and the products
// below stay far inside 32 bits.
constexpr int kAmountLimit = 65536;

int LimitAmount(int amount)
{
    return std::clamp(amount, -kAmountLimit, kAmountLimit);
}

// Calls fn(bytes, count) for the pixel bytes of every row, padding excluded.
template <class RowFn> void ForEachRow(TPixelBase& buffer, RowFn fn)
{
    if (buffer.isEmpty()) return;
    const int count = buffer.width() * 3;
    for (int y = 0; y < buffer.height(); ++y)
        fn(buffer.rowBytes(y), count);
}

// The slider range, 0..255, in 16-bit lanes: (255 - v) × a < 65536 and the
// result never leaves 0..255.
KAPTIVUS_VECTOR_CLONES void LightenRow16(uint8_t* __restrict bytes, int count, uint16_t amount)
{
    for (int i = 0; i < count; ++i) {
        const uint16_t v = bytes[i];
        const auto step = static_cast<uint16_t>(static_cast<uint16_t>((255 - v) * amount) >> 8);
        bytes[i] = static_cast<uint8_t>(v + step);
    }
}

KAPTIVUS_VECTOR_CLONES void DarkenRow16(uint8_t* __restrict bytes, int count, uint16_t amount)
{
    for (int i = 0; i < count; ++i) {
        const uint16_t v = bytes[i];
        const auto step = static_cast<uint16_t>(static_cast<uint16_t>(v * amount) >> 8);
        bytes[i] = static_cast<uint8_t>(v - step);
    }
}

// Any amount within the limit, in 32-bit lanes.
void LightnessRow32(uint8_t* __restrict bytes, int count, int amount)
{
    for (int i = 0; i < count; ++i) {
        const int v = bytes[i];
        const int moved = amount >= 0 ? v + (((255 - v) * amount) >> 8) : v - ((v * -amount) >> 8);
        bytes[i] = static_cast<uint8_t>(ClampByte(moved));
    }
}

// 0..126 move down, 127..255 up, each by |128 - i| × a / 256 truncated. For
// |a| <= 255 the product fits 16 signed bits.
KAPTIVUS_VECTOR_CLONES void ContrastRow16(uint8_t* __restrict bytes, int count, int16_t amount)
{
    for (int i = 0; i < count; ++i) {
        const int16_t v = bytes[i];
        const auto distance = static_cast<int16_t>(v <= 126 ? 128 - v : v - 128);
        const auto step = static_cast<int16_t>(static_cast<int16_t>(distance * amount) / 256);
        const auto moved = static_cast<int16_t>(v <= 126 ? v - step : v + step);
        bytes[i] = static_cast<uint8_t>(std::clamp<int16_t>(moved, 0, 255));
    }
}

void ContrastRow32(uint8_t* __restrict bytes, int count, int amount)
{
    for (int i = 0; i < count; ++i) {
        const int v = bytes[i];
        const int step = (std::abs(128 - v) * amount) / 256;
        bytes[i] = static_cast<uint8_t>(ClampByte(v <= 126 ? v - step : v + step));
    }
}

// floor(v × a / 256) for a = 256 × high + low, low 0..255: v × high plus
// floor(v × low / 256), all inside 16 bits for the slider range 0..510.
inline int16_t SaturationStep16(uint16_t v, uint16_t high, uint16_t low)
{
    return static_cast<int16_t>(v * high + (static_cast<uint16_t>(v * low) >> 8));
}

KAPTIVUS_VECTOR_CLONES void SaturationRow16(uint8_t* __restrict bytes, int count, uint16_t high, uint16_t low)
{
    for (int i = 0; i < count; i += 3) {
        const uint16_t b = bytes[i];
        const uint16_t g = bytes[i + 1];
        const uint16_t r = bytes[i + 2];
        const auto grey = static_cast<uint16_t>(static_cast<uint16_t>(b + g + r) / 3);
        const auto d = static_cast<int16_t>(grey - SaturationStep16(grey, high, low));
        bytes[i] = static_cast<uint8_t>(std::clamp<int16_t>(int16_t(d + SaturationStep16(b, high, low)), 0, 255));
        bytes[i + 1] = static_cast<uint8_t>(std::clamp<int16_t>(int16_t(d + SaturationStep16(g, high, low)), 0, 255));
        bytes[i + 2] = static_cast<uint8_t>(std::clamp<int16_t>(int16_t(d + SaturationStep16(r, high, low)), 0, 255));
    }
}

// Any amount within the limit; >> of a negative product rounds down, like the
// rule's shift of a non-negative one.
void SaturationRow32(uint8_t* __restrict bytes, int count, int amount)
{
    for (int i = 0; i < count; i += 3) {
        const int grey = (bytes[i] + bytes[i + 1] + bytes[i + 2]) / 3;
        const int d = grey - ((grey * amount) >> 8);
        for (int c = 0; c < 3; ++c)
            bytes[i + c] = static_cast<uint8_t>(ClampByte(d + ((bytes[i + c] * amount) >> 8)));
    }
}

} // namespace

void AdjustLightness(TPixelBase& buffer, int amount)
{
    const int a = LimitAmount(amount);
    if (a >= 0 && a <= 255)
        ForEachRow(buffer, [a](uint8_t* bytes, int count) { LightenRow16(bytes, count, uint16_t(a)); });
    else if (a < 0 && a >= -255)
        ForEachRow(buffer, [a](uint8_t* bytes, int count) { DarkenRow16(bytes, count, uint16_t(-a)); });
    else
        ForEachRow(buffer, [a](uint8_t* bytes, int count) { LightnessRow32(bytes, count, a); });
}

void AdjustContrast(TPixelBase& buffer, int amount)
{
    const int a = LimitAmount(amount);
    if (a >= -255 && a <= 255)
        ForEachRow(buffer, [a](uint8_t* bytes, int count) { ContrastRow16(bytes, count, int16_t(a)); });
    else
        ForEachRow(buffer, [a](uint8_t* bytes, int count) { ContrastRow32(bytes, count, a); });
}

void AdjustSaturation(TPixelBase& buffer, int amount)
{
    const int a = LimitAmount(amount);
    if (a >= 0 && a <= 510) {
        const auto high = static_cast<uint16_t>(a >> 8);
        const auto low = static_cast<uint16_t>(a & 255);
        ForEachRow(buffer, [high, low](uint8_t* bytes, int count) { SaturationRow16(bytes, count, high, low); });
    } else {
        ForEachRow(buffer, [a](uint8_t* bytes, int count) { SaturationRow32(bytes, count, a); });
    }
}

namespace {

// A block of 48 bytes (16 pixels) always starts with blue, so the offsets can
// be a plain array the width of a vector.
constexpr int kShiftBlock = 48;

KAPTIVUS_VECTOR_CLONES void ShiftRow(uint8_t* __restrict bytes, int count, const int16_t* __restrict pattern)
{
    int i = 0;
    for (; i + kShiftBlock <= count; i += kShiftBlock)
        for (int j = 0; j < kShiftBlock; ++j)
            bytes[i + j] = static_cast<uint8_t>(std::clamp<int16_t>(int16_t(bytes[i + j] + pattern[j]), 0, 255));
    for (int j = 0; i < count; ++i, ++j)
        bytes[i] = static_cast<uint8_t>(std::clamp<int16_t>(int16_t(bytes[i] + pattern[j]), 0, 255));
}

KAPTIVUS_VECTOR_CLONES void GreyRow(uint8_t* __restrict bytes, int count)
{
    for (int i = 0; i < count; i += 3) {
        const auto grey = static_cast<uint8_t>(static_cast<uint16_t>(bytes[i] + bytes[i + 1] + bytes[i + 2]) / 3);
        bytes[i] = grey;
        bytes[i + 1] = grey;
        bytes[i + 2] = grey;
    }
}

KAPTIVUS_VECTOR_CLONES void InvertRow(uint8_t* __restrict bytes, int count)
{
    for (int i = 0; i < count; ++i)
        bytes[i] = static_cast<uint8_t>(255 - bytes[i]);
}

// Each pixel is tested once against its unchanged value: a true swap. With
// swap false, only the first colour changes. Bitwise & keeps the loop free of
// branches, so it vectorises.
template <bool swap>
[[gnu::always_inline]] inline void ExchangeRowT(uint8_t* __restrict bytes, int count, PixelBGR p1, PixelBGR p2)
{
    for (int i = 0; i < count; i += 3) {
        const uint8_t b = bytes[i];
        const uint8_t g = bytes[i + 1];
        const uint8_t r = bytes[i + 2];
        // All ones where the pixel is that colour, else zero. When both colours
        // are the same, both masks hit and the two changes cancel out.
        const auto first = static_cast<uint8_t>(-((b == p1.b) & (g == p1.g) & (r == p1.r)));
        const auto second = static_cast<uint8_t>(swap ? -((b == p2.b) & (g == p2.g) & (r == p2.r)) : 0);
        bytes[i] = static_cast<uint8_t>(b ^ (first & (b ^ p2.b)) ^ (second & (b ^ p1.b)));
        bytes[i + 1] = static_cast<uint8_t>(g ^ (first & (g ^ p2.g)) ^ (second & (g ^ p1.g)));
        bytes[i + 2] = static_cast<uint8_t>(r ^ (first & (r ^ p2.r)) ^ (second & (r ^ p1.r)));
    }
}

KAPTIVUS_VECTOR_CLONES void ExchangeRow(uint8_t* bytes, int count, PixelBGR p1, PixelBGR p2)
{
    ExchangeRowT<true>(bytes, count, p1, p2);
}

KAPTIVUS_VECTOR_CLONES void SubstituteRow(uint8_t* bytes, int count, PixelBGR from, PixelBGR to)
{
    ExchangeRowT<false>(bytes, count, from, to);
}

} // namespace

void ShiftChannels(TPixelBase& buffer, int red, int green, int blue)
{
    // An offset of ±256 already drives every value to the end of the range.
    const int offsets[3] = { std::clamp(blue, -256, 256), std::clamp(green, -256, 256), std::clamp(red, -256, 256) };
    int16_t pattern[kShiftBlock];
    for (int i = 0; i < kShiftBlock; ++i)
        pattern[i] = static_cast<int16_t>(offsets[i % 3]);
    ForEachRow(buffer, [&pattern](uint8_t* bytes, int count) { ShiftRow(bytes, count, pattern); });
}

void GreyScale(TPixelBase& buffer)
{
    ForEachRow(buffer, GreyRow);
}

void InvertColors(TPixelBase& buffer)
{
    ForEachRow(buffer, InvertRow);
}

void ExchangeColors(TPixelBase& buffer, Color first, Color second)
{
    const PixelBGR p1 = ColorToPixel(first);
    const PixelBGR p2 = ColorToPixel(second);
    ForEachRow(buffer, [p1, p2](uint8_t* bytes, int count) { ExchangeRow(bytes, count, p1, p2); });
}

void SubstituteColor(TPixelBase& buffer, Color first, Color second)
{
    const PixelBGR from = ColorToPixel(first);
    const PixelBGR to = ColorToPixel(second);
    ForEachRow(buffer, [from, to](uint8_t* bytes, int count) { SubstituteRow(bytes, count, from, to); });
}

} // namespace kaptivus::pixels
