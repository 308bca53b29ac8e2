// JPEG files through libjpeg. No Qt, no X11.
#pragma once

#include "files/Codec.h"

namespace kaptivus::files {

// Encodes a 24-bit copy of the picture: library defaults, then the quality
// with baseline tables forced, RGB input.
CodecStatus WriteJpeg(const pixels::Picture& picture, ByteSink& sink, int quality = 100);
// Decodes at full size without block smoothing. On screens of 8 bits per
// pixel or less, and for greyscale files, the result has 8 bits and at most
// 236 colours; otherwise 24 bits.
ReadResult ReadJpeg(Bytes bytes, const ReadLimits& limits = {}, int screenBits = 24);

} // namespace kaptivus::files
