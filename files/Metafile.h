// Enhanced (EMF) and placeable Windows (WMF) metafiles: written as one
// stretched-bitmap record, read by playing their records into a picture.
// No Qt, no X11.
#pragma once

#include "files/Codec.h"

namespace kaptivus::files {

CodecStatus WriteEmf(const pixels::Picture& picture, ByteSink& sink);
CodecStatus WriteWmf(const pixels::Picture& picture, ByteSink& sink);
// The metafile drawn into a 24-bit picture of its size in pixels; while the
// area exceeds 2,000,000 pixels both sides shrink by 10 (never below 10).
ReadResult ReadEmf(Bytes bytes, const ReadLimits& limits = {});
ReadResult ReadWmf(Bytes bytes, const ReadLimits& limits = {});

} // namespace kaptivus::files
