// Windows BMP files: writes every depth as it is stored; reads top-down and
// bottom-up files, RLE4/RLE8 and bit-field layouts. No Qt, no X11.
#pragma once

#include "files/Codec.h"

namespace kaptivus::files {

// 1, 4, 8, 15, 16, 24 and 32-bit pictures are written as they are; a
// device-default or custom picture must be converted to 24 bits first.
CodecStatus WriteBmp(const pixels::Picture& picture, ByteSink& sink);
ReadResult ReadBmp(Bytes bytes, const ReadLimits& limits = {});

} // namespace kaptivus::files
