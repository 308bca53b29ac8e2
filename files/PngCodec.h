// PNG files through libpng. No Qt, no X11.
#pragma once

#include "files/Codec.h"

namespace kaptivus::files {

// The last of zlib's fast levels: on the full-HD benchmark capture it takes
// less than half the time of zlib's default level 6 for a file about a tenth
// larger; a numbered save on a hotkey should not keep the user waiting.
inline constexpr int kPngCompressionLevel = 3;

CodecStatus WritePng(const pixels::Picture& picture, ByteSink& sink);
ReadResult ReadPng(Bytes bytes, const ReadLimits& limits = {});

} // namespace kaptivus::files
