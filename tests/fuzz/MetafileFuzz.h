// What both metafile fuzz targets check: any input is drawn or refused with a
// reason, a drawn picture keeps to the limits, and writing it and reading it
// again gives it back unchanged.
#pragma once

#include "files/Metafile.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace kaptivus::files {

template <typename Read, typename Write>
int CheckMetafileReader(const uint8_t* data, size_t size, Read read, Write write, int maxWrittenSide)
{
    ReadLimits limits;
    limits.maxFileBytes = size_t { 1 } << 20;
    limits.maxPixels = int64_t { 1 } << 14; // keeps each run short; the size rules are the same
    const ReadResult first = read(Bytes(data, size), limits);
    if (!first.ok()) {
        if (first.error.empty() || !first.picture.isEmpty()) std::abort(); // a refusal says why and gives nothing
        return 0;
    }
    const pixels::Picture& picture = first.picture;
    if (picture.format() != pixels::PixelFormat::Bits24 || !limits.allows(picture.width(), picture.height()))
        std::abort();
    if (picture.width() > maxWrittenSide || picture.height() > maxWrittenSide) return 0;
    MemorySink sink;
    if (!write(picture, sink)) std::abort();
    const ReadResult second = read(Bytes(sink.bytes), ReadLimits {});
    if (!second.ok() || second.picture.width() != picture.width() || second.picture.height() != picture.height())
        std::abort();
    for (int y = 0; y < picture.height(); ++y)
        if (std::memcmp(second.picture.scanLine(y), picture.scanLine(y), size_t(picture.width()) * 3) != 0)
            std::abort();
    return 0;
}

} // namespace kaptivus::files
