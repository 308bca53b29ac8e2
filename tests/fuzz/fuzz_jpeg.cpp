// Fuzz target for the JPEG reader: any input is decoded or refused with a
// reason within the program's limits, for a true-colour or (odd sizes) an 8-bit screen.
#include "codec_fuzz_limits.h"
#include "files/JpegCodec.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace kaptivus::files;
    const ReadLimits limits = CodecFuzzLimits();
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
