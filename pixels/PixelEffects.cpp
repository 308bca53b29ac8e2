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

// Beyond ±65536 every channel that can move saturates at 0 or 255 (the change
// is at least 256), so larger amounts give the same bytes and the products
// below stay far inside 32 bits.
constexpr int kAmountLimit = 65536;

int LimitAmount(int amount) { return std::clamp(amount, -kAmountLimit, kAmountLimit); }

// Calls fn(bytes, count) for the pixel bytes of every row, padding excluded.
template <class RowFn> void ForEachRow(TPixelBase& buffer, RowFn fn)
{
    if (buffer.isEmpty()) return;
    const int count = buffer.width() * 3;
    for (int y = 0; y < buffer.height(); ++y) fn(buffer.rowBytes(y), count);
}

void LightenRow(uint8_t* __restrict bytes, int count, int amount)
{
    for (int i = 0; i < count; ++i) {
        const int v = bytes[i];
        bytes[i] = static_cast<uint8_t>(ClampByte(v + (((255 - v) * amount) >> 8)));
    }
}

void DarkenRow(uint8_t* __restrict bytes, int count, int amount)
{
    for (int i = 0; i < count; ++i) {
        const int v = bytes[i];
        bytes[i] = static_cast<uint8_t>(ClampByte(v - ((v * amount) >> 8)));
    }
}

// Channel i of a pixel through the saturation rule: A(i) = floor(i × a / 256).
inline int SaturationStep(int value, int amount) { return (value * amount) >> 8; }

} // namespace

void AdjustLightness(TPixelBase& buffer, int amount)
{
    const int a = LimitAmount(amount);
    if (a >= 0)
        ForEachRow(buffer, [a](uint8_t* bytes, int count) { LightenRow(bytes, count, a); });
    else
        ForEachRow(buffer, [a](uint8_t* bytes, int count) { DarkenRow(bytes, count, -a); });
}

void AdjustContrast(TPixelBase& buffer, int amount)
{
    const int a = LimitAmount(amount);
    // 0..126 move down, 127..255 up, each by |128 - i| × a / 256 truncated.
    ForEachRow(buffer, [a](uint8_t* __restrict bytes, int count) {
        for (int i = 0; i < count; ++i) {
            const int v = bytes[i];
            const int step = (std::abs(128 - v) * a) / 256;
            bytes[i] = static_cast<uint8_t>(ClampByte(v <= 126 ? v - step : v + step));
        }
    });
}

void AdjustSaturation(TPixelBase& buffer, int amount)
{
    const int a = LimitAmount(amount);
    ForEachRow(buffer, [a](uint8_t* __restrict bytes, int count) {
        for (int i = 0; i < count; i += 3) {
            const int b = bytes[i];
            const int g = bytes[i + 1];
            const int r = bytes[i + 2];
            const int grey = (b + g + r) / 3;
            const int d = grey - SaturationStep(grey, a);
            bytes[i] = static_cast<uint8_t>(ClampByte(d + SaturationStep(b, a)));
            bytes[i + 1] = static_cast<uint8_t>(ClampByte(d + SaturationStep(g, a)));
            bytes[i + 2] = static_cast<uint8_t>(ClampByte(d + SaturationStep(r, a)));
        }
    });
}

void ShiftChannels(TPixelBase& buffer, int red, int green, int blue)
{
    // An offset of ±256 already drives every value to the end of the range.
    const int offsets[3] = {std::clamp(blue, -256, 256), std::clamp(green, -256, 256), std::clamp(red, -256, 256)};
    // Whole rows at a time: the offsets repeat every three bytes, so a block of
    // 48 bytes (16 pixels) always starts with blue and vectorises cleanly.
    constexpr int kBlock = 48;
    int pattern[kBlock];
    for (int i = 0; i < kBlock; ++i) pattern[i] = offsets[i % 3];
    ForEachRow(buffer, [&pattern](uint8_t* __restrict bytes, int count) {
        int i = 0;
        for (; i + kBlock <= count; i += kBlock)
            for (int j = 0; j < kBlock; ++j)
                bytes[i + j] = static_cast<uint8_t>(ClampByte(bytes[i + j] + pattern[j]));
        for (int j = 0; i < count; ++i, ++j) bytes[i] = static_cast<uint8_t>(ClampByte(bytes[i] + pattern[j]));
    });
}

void GreyScale(TPixelBase& buffer)
{
    ForEachRow(buffer, [](uint8_t* __restrict bytes, int count) {
        for (int i = 0; i < count; i += 3) {
            const auto grey = static_cast<uint8_t>((bytes[i] + bytes[i + 1] + bytes[i + 2]) / 3);
            bytes[i] = grey;
            bytes[i + 1] = grey;
            bytes[i + 2] = grey;
        }
    });
}

void InvertColors(TPixelBase& buffer)
{
    ForEachRow(buffer, [](uint8_t* __restrict bytes, int count) {
        for (int i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(255 - bytes[i]);
    });
}

void ExchangeColors(TPixelBase& buffer, Color first, Color second)
{
    const PixelBGR p1 = ColorToPixel(first);
    const PixelBGR p2 = ColorToPixel(second);
    // Each pixel is tested once against the unchanged value: a true swap.
    ForEachRow(buffer, [p1, p2](uint8_t* __restrict bytes, int count) {
        for (int i = 0; i < count; i += 3) {
            const uint8_t b = bytes[i];
            const uint8_t g = bytes[i + 1];
            const uint8_t r = bytes[i + 2];
            const bool isFirst = b == p1.b && g == p1.g && r == p1.r;
            const bool isSecond = b == p2.b && g == p2.g && r == p2.r;
            bytes[i] = isFirst ? p2.b : (isSecond ? p1.b : b);
            bytes[i + 1] = isFirst ? p2.g : (isSecond ? p1.g : g);
            bytes[i + 2] = isFirst ? p2.r : (isSecond ? p1.r : r);
        }
    });
}

void SubstituteColor(TPixelBase& buffer, Color first, Color second)
{
    const PixelBGR from = ColorToPixel(first);
    const PixelBGR to = ColorToPixel(second);
    ForEachRow(buffer, [from, to](uint8_t* __restrict bytes, int count) {
        for (int i = 0; i < count; i += 3) {
            const uint8_t b = bytes[i];
            const uint8_t g = bytes[i + 1];
            const uint8_t r = bytes[i + 2];
            const bool hit = b == from.b && g == from.g && r == from.r;
            bytes[i] = hit ? to.b : b;
            bytes[i + 1] = hit ? to.g : g;
            bytes[i + 2] = hit ? to.r : r;
        }
    });
}

} // namespace kaptivus::pixels
