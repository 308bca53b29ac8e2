// PNG files: read through libpng, written through libdeflate. No Qt, no X11.
#pragma once

#include "files/Codec.h"

namespace kaptivus::files {

// libdeflate's level for writing. On the full-HD benchmark captures it writes
// files within a tenth of libpng's default ones in about a third of the time
// of zlib's level 3; a numbered save on a hotkey should not keep the user
// waiting.
inline constexpr int kPngCompressionLevel = 2;

CodecStatus WritePng(const pixels::Picture& picture, ByteSink& sink);
ReadResult ReadPng(Bytes bytes, const ReadLimits& limits = {});

} // namespace kaptivus::files
