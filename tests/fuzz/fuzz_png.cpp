// Fuzz target for the PNG reader: any input is decoded or refused with a
// reason within the program's limits, and a small picture decoded writes and
// reads back unchanged.
#include "codec_fuzz_limits.h"
#include "files/PngCodec.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace kaptivus::files;
    const ReadLimits limits = CodecFuzzLimits();
    const ReadResult first = ReadPng(Bytes(data, size), limits);
    if (!first.ok()) {
        if (first.error.empty()) std::abort(); // a refusal must say why
        return 0;
    }
    const auto& picture = first.picture;
    if (!limits.allows(picture.width(), picture.height())) std::abort();
    if (!WorthRoundTrip(picture)) return 0;
    MemorySink sink;
    if (!WritePng(picture, sink).ok()) std::abort();
    const ReadResult second = ReadPng(sink.bytes, limits);
    if (!second.ok() || second.picture.width() != picture.width() || second.picture.height() != picture.height())
        std::abort();
    for (int y = 0; y < picture.height(); ++y)
        if (std::memcmp(second.picture.scanLine(y), picture.scanLine(y), static_cast<size_t>(picture.width()) * 3) != 0)
            std::abort();
    return 0;
}
