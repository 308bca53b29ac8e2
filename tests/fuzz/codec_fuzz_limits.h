// The read limits the picture readers are fuzzed with: the program's own
// pixel limit, so that the fuzzer reaches the decompression bombs a few bytes
// can claim, and room for an icon directory of all 65,535 entries (1 MiB).
#pragma once

#include "files/Codec.h"

inline kaptivus::files::ReadLimits CodecFuzzLimits()
{
    kaptivus::files::ReadLimits limits;
    limits.maxFileBytes = size_t { 2 } << 20;
    return limits;
}

// Pictures up to this many pixels also go through a write and a read: larger
// ones would spend the run encoding and comparing pixels.
inline constexpr int64_t kRoundTripPixels = int64_t { 1 } << 14;

inline bool WorthRoundTrip(const kaptivus::pixels::Picture& p)
{
    return static_cast<int64_t>(p.width()) * p.height() <= kRoundTripPixels;
}
