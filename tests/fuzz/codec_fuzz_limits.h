// The read limits the picture readers are fuzzed with: small, so that each
// run is short; the checks are the same at any size.
#pragma once

#include "files/Codec.h"

inline kaptivus::files::ReadLimits CodecFuzzLimits()
{
    kaptivus::files::ReadLimits limits;
    limits.maxPixels = int64_t { 1 } << 20;
    limits.maxSide = 4096;
    limits.maxFileBytes = size_t { 1 } << 20;
    return limits;
}
