// The program's bitmap: size, pixel format, colour table, row data and a
// transparent colour. No Qt, no X11: the screen's own layout ("device default")
// is described by a DeviceFormat that the caller passes in.
#pragma once

#include "pixels/PixelBase.h"

#include <cstdint>
#include <vector>

namespace kaptivus::pixels {

enum class PixelFormat { DeviceDefault, Bits1, Bits4, Bits8, Bits15, Bits16, Bits24, Bits32, Custom };

// The X screen's own pixel layout: depth, bits per pixel and channel masks
// (for instance depth 24, 32 bits, 0xFF0000/0x00FF00/0x0000FF).
struct DeviceFormat {
    int depth = 24;
    int bitsPerPixel = 32;
    uint32_t redMask = 0xFF0000;
    uint32_t greenMask = 0x00FF00;
    uint32_t blueMask = 0x0000FF;
};

// API to be completed by the picture module (see Picture.cpp).
class Picture;

} // namespace kaptivus::pixels
