// Fuzz target for the JPEG reader: any input is decoded or refused with a
// reason within small limits, for a true-colour or (odd sizes) an 8-bit screen.
#include "files/JpegCodec.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace kaptivus::files;
    // Small limits keep each run short; the checks are the same at any size.
    ReadLimits limits;
    limits.maxPixels = int64_t { 1 } << 20;
    limits.maxSide = 4096;
    limits.maxFileBytes = size_t { 1 } << 20;
    const ReadResult result = ReadJpeg(Bytes(data, size), limits, size % 2 ? 8 : 24);
    if (!result.ok()) {
        if (result.error.empty()) std::abort(); // a refusal must say why
        return 0;
    }
    const auto& picture = result.picture;
    if (!limits.allows(picture.width(), picture.height())) std::abort();
    if (picture.format() == kaptivus::pixels::PixelFormat::Bits8 && picture.palette().size() > 236) std::abort();
    return 0;
}
