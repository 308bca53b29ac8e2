// Enhanced (EMF) and placeable Windows (WMF) metafiles: written as one
// stretched-bitmap record, read by playing their records into a picture.
// No Qt, no X11.
#pragma once

#include "files/Codec.h"

namespace kaptivus::files {

CodecStatus WriteEmf(const pixels::Picture& picture, ByteSink& sink);
// Pictures wider or taller than 32767 pixels do not fit the format's 16-bit
// coordinates and are refused.
CodecStatus WriteWmf(const pixels::Picture& picture, ByteSink& sink);
// The metafile drawn into a 24-bit picture of its size in pixels; while the
// area exceeds 2,000,000 pixels both sides shrink by 10 (never below 10).
ReadResult ReadEmf(Bytes bytes, const ReadLimits& limits = {});
ReadResult ReadWmf(Bytes bytes, const ReadLimits& limits = {});

struct MetafileSize {
    int64_t width = 0;
    int64_t height = 0;
    friend bool operator==(const MetafileSize&, const MetafileSize&) = default;
};

// The size a metafile of width × height pixels is drawn at: while the area is
// greater than 2,000,000 both sides lose 10, a side never shrinking below 10
// (one already smaller stays as it is). The proportions are not kept.
MetafileSize MetafileDrawingSize(int64_t width, int64_t height);

} // namespace kaptivus::files
