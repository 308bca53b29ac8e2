// PNG files through libpng. No Qt, no X11.
#pragma once

#include "files/Codec.h"

namespace kaptivus::files {

CodecStatus WritePng(const pixels::Picture& picture, ByteSink& sink);
ReadResult ReadPng(Bytes bytes, const ReadLimits& limits = {});

} // namespace kaptivus::files
