// Fuzz target for the BMP reader: any input is read or refused with a reason,
// never past a buffer nor beyond the limits; a picture read comes back with
// the same pixels and colour table after our writer and reader.
#include "files/BmpCodec.h"
#include "fuzz_codec_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace kaptivus;
    const files::ReadLimits limits = fuzz::FuzzLimits();
    files::ReadResult first = files::ReadBmp({ data, size }, limits);
    if (!fuzz::CheckRead(first, limits) || !fuzz::WorthRoundTrip(first.picture)) return 0;
    // Custom layouts are written as 24 bits, as the program saves them.
    pixels::Picture picture = std::move(first.picture);
    if (picture.format() == pixels::PixelFormat::Custom) picture.convertTo(pixels::PixelFormat::Bits24);
    files::MemorySink sink;
    fuzz::Require(files::WriteBmp(picture, sink).ok(), "a picture read could not be written");
    const files::ReadResult second = files::ReadBmp(sink.bytes, limits);
    fuzz::Require(fuzz::CheckRead(second, limits), "a file we wrote could not be read");
    fuzz::Require(second.picture.format() == picture.format(), "the format changed through a write and a read");
    fuzz::Require(second.picture.palette() == picture.palette(), "the colour table changed through a write and a read");
    fuzz::RequireSamePixels(picture, second.picture);
    return 0;
}
