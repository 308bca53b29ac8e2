// Captures for the adjustment pipeline tests: every pixel a different colour,
// so a flip, a turn or a shift by one pixel shows.
#pragma once

#include "pixels/Picture.h"
#include "pixels/PixelBuffer.h"

#include <cstdint>

namespace kaptivus::picture::testing {

// Unique for every pixel of a capture up to 4096 × 4096.
inline pixels::PixelBGR UniquePixel(int x, int y)
{
    return pixels::PixelBGR{static_cast<uint8_t>(x & 0xFF), static_cast<uint8_t>(y & 0xFF),
                            static_cast<uint8_t>(40 + (x >> 8) * 16 + (y >> 8))};
}

inline pixels::Picture MakeCapture(int width, int height, const pixels::DeviceFormat& device = {})
{
    pixels::Picture capture = pixels::Picture::create(width, height, pixels::PixelFormat::DeviceDefault, device);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) capture.setPixel(x, y, UniquePixel(x, y));
    return capture;
}

// The same picture painted through a pixel buffer: fast enough for screen sizes.
inline pixels::Picture MakeLargeCapture(int width, int height)
{
    pixels::TPixelBuffer buffer;
    if (!buffer.Allocate(width, height)) return {};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) buffer.row(y)[x] = UniquePixel(x, y);
    pixels::Picture capture = pixels::Picture::create(width, height, pixels::PixelFormat::DeviceDefault);
    buffer.DrawTo(capture, 0, 0);
    return capture;
}

inline pixels::Picture MakeSolidCapture(int width, int height, pixels::PixelBGR colour)
{
    pixels::Picture capture = pixels::Picture::create(width, height, pixels::PixelFormat::DeviceDefault);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) capture.setPixel(x, y, colour);
    return capture;
}

} // namespace kaptivus::picture::testing
