// Windows BMP files: writes every depth as it is stored; reads top-down and
// bottom-up files, RLE4/RLE8 and bit-field layouts. No Qt, no X11.
#pragma once

#include "files/Codec.h"

namespace kaptivus::files {

// 1, 4, 8, 15, 16, 24 and 32-bit pictures are written as they are; a
// device-default or custom picture must be converted to 24 bits first.
CodecStatus WriteBmp(const pixels::Picture& picture, ByteSink& sink);
// Any picture as a 24-bit file, its rows converted as they are written: the
// same bytes as WriteBmp of the picture converted to 24 bits, without the
// converted copy.
CodecStatus WriteBmp24(const pixels::Picture& picture, ByteSink& sink);
// The size of the file WriteBmp24 writes.
uint64_t Bmp24FileBytes(int width, int height);
ReadResult ReadBmp(Bytes bytes, const ReadLimits& limits = {});

} // namespace kaptivus::files
