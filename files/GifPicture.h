// GIF files: the writer with its octree colour reduction and LZW encoder, and
// the reader (first image on the logical screen). No Qt, no X11.
#pragma once

#include "files/Codec.h"

#include <optional>

namespace kaptivus::files {

// Writes the picture as one GIF image. A picture that is not of 1, 4 or 8
// bits is converted in place to 24 bits and reduced to 256 colours; a picture
// marked transparent gets its transparent colour's pixels transparent.
CodecStatus WriteGif(pixels::Picture& picture, ByteSink& sink);
// The same file, leaving the picture as it is: `transparent` names the colour
// whose pixels become transparent (none: no transparency).
CodecStatus WriteGif(const pixels::Picture& picture, std::optional<pixels::Color> transparent, ByteSink& sink);
// True when the writer takes the picture's own table (1, 4 or 8 bits, indexed);
// any other picture it reduces from 24 bits.
bool GifTakesOwnTable(const pixels::Picture& picture);
ReadResult ReadGif(Bytes bytes, const ReadLimits& limits = {});

} // namespace kaptivus::files
