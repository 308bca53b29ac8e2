// GIF files: the writer with its octree colour reduction and LZW encoder, and
// the reader (first image on the logical screen). No Qt, no X11.
#pragma once

#include "files/Codec.h"

namespace kaptivus::files {

// Writes the picture as one GIF image. A picture that is not of 1, 4 or 8
// bits is converted in place to 24 bits and reduced to 256 colours; a picture
// marked transparent gets its transparent colour's pixels transparent.
CodecStatus WriteGif(pixels::Picture& picture, ByteSink& sink);
ReadResult ReadGif(Bytes bytes, const ReadLimits& limits = {});

} // namespace kaptivus::files
