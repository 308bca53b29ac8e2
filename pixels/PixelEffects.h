// The picture options' pixel effects: colour tables, mirrors, rotation, emboss,
// colour exchange, 3×3 convolution. Standard library only: no Qt, no X11.
//
// Every effect works in place on the buffer given first, except the rotation,
// which writes into a second buffer. Every effect is exact to the byte: the
// fast loops compute the same values as the plain per-pixel rules.
// Empty buffers (width or height 0) are left alone by every effect.
#pragma once

#include "pixels/PixelBase.h"

#include <array>
#include <cstdint>

namespace kaptivus::pixels {

class TPixelBuffer;

using Kernel3x3 = std::array<int16_t, 9>;

// Centre 160, each of the eight neighbours -5: sum 120.
inline constexpr Kernel3x3 SharpenKernel { -5, -5, -5, -5, 160, -5, -5, -5, -5 };

// amount -255..255: positive moves every value towards 255 in proportion to
// its distance from 255, negative towards 0 in proportion to its value.
void AdjustLightness(TPixelBase& buffer, int amount);
// amount -255..255: spreads (positive) or gathers (negative) values around 128.
void AdjustContrast(TPixelBase& buffer, int amount);
// amount 0..510: scales each channel's distance from the pixel's grey value by
// amount / 256; 256 is the identity, 0 gives the grey value.
void AdjustSaturation(TPixelBase& buffer, int amount);
// Adds an offset to each channel, clamped to 0..255.
void ShiftChannels(TPixelBase& buffer, int red, int green, int blue);

// Allocates the destination to the bounding box of the source turned by the
// angle (degrees). False, with an empty destination, when the angle is not a
// finite number, the box does not fit an int or its memory cannot be had.
[[nodiscard]] bool RotatedBounds(const TPixelBase& source, TPixelBuffer& destination, long double angle);
// Turns the source by the angle (degrees) about the destination point
// (cx, cy), bilinear sampling. Destination pixels that fall outside the source
// keep their value. Pass the destination's exact centre (width / 2.0,
// height / 2.0): a quarter or half turn is then an exact permutation of the
// pixels whatever the sizes.
void RotateBilinear(
    const TPixelBase& source, TPixelBase& destination, long double cx, long double cy, long double angle);

// Top and bottom change places.
void FlipRows(TPixelBase& buffer);
// Left and right change places.
void FlipColumns(TPixelBase& buffer);
// Each channel becomes the mean of itself and the inverse of a reference pixel
// one down and one to the right, so flat areas become 127. The last two rows
// refer to the second pixel of the bottom row. References are clamped into
// the picture, so a buffer one pixel wide or high is embossed against its own
// last column or row rather than skipped.
void EmbossPicture(TPixelBase& buffer);
// Pixels of the first colour take the second and vice versa (colours 0x00BBGGRR).
void ExchangeColors(TPixelBase& buffer, Color first, Color second);
// Pixels of the first colour take the second; nothing else changes.
void SubstituteColor(TPixelBase& buffer, Color first, Color second);
// Weighted sum of the 3×3 neighbourhood divided by the kernel's sum (1 when 0),
// written at once, so pixels to the left and above contribute their new values.
// kernel[3j + i] weighs column offset j - 1 and row offset i - 1; edges are
// extended.
void Convolve3x3(TPixelBase& buffer, const Kernel3x3& kernel);
// Every channel becomes the truncated mean of the three.
void GreyScale(TPixelBase& buffer);
// Every channel c becomes 255 - c.
void InvertColors(TPixelBase& buffer);

} // namespace kaptivus::pixels
