// What the picture-file fuzz targets check beyond "no fault": a refusal says
// why and gives no picture; a picture keeps within the limits; a picture read
// comes back unchanged through the format's own writer and reader.
#pragma once

#include "codec_fuzz_limits.h"
#include "files/Codec.h"
#include "pixels/PictureRows.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace kaptivus::fuzz {

inline files::ReadLimits FuzzLimits() { return CodecFuzzLimits(); }
using ::WorthRoundTrip;

inline void Require(bool condition, const char* what)
{
    if (condition) return;
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

// Checks a reader's answer; true when it holds a picture.
inline bool CheckRead(const files::ReadResult& result, const files::ReadLimits& limits)
{
    if (!result.ok()) {
        Require(result.picture.isEmpty(), "a refusal came with a picture");
        return false;
    }
    Require(!result.picture.isEmpty(), "a success without a picture");
    Require(limits.allows(result.picture.width(), result.picture.height()), "a picture beyond the limits");
    return true;
}

inline void RequireSamePixels(const pixels::Picture& a, const pixels::Picture& b)
{
    Require(a.width() == b.width() && a.height() == b.height(), "the size changed through a write and a read");
    const pixels::PictureRowReader ra(a), rb(b);
    std::vector<pixels::PixelBGR> la(static_cast<size_t>(a.width())), lb(la.size());
    for (int y = 0; y < a.height(); ++y) {
        ra.read(y, 0, a.width(), la.data());
        rb.read(y, 0, b.width(), lb.data());
        Require(la == lb, "pixels changed through a write and a read");
    }
}

} // namespace kaptivus::fuzz
