// Fuzz target for the icon reader: any input is read or refused with a
// reason, never past a buffer nor beyond the limits; an image that fits an
// icon comes back with the same pixels after our writer and reader.
#include "files/IcoCodec.h"
#include "fuzz_codec_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace kaptivus;
    const files::ReadLimits limits = fuzz::FuzzLimits();
    const files::ReadResult first = files::ReadIco({ data, size }, limits);
    if (!fuzz::CheckRead(first, limits) || !fuzz::WorthRoundTrip(first.picture)) return 0;
    if (first.picture.width() > 256 || first.picture.height() > 256) return 0;
    files::MemorySink sink;
    fuzz::Require(files::WriteIco(first.picture, sink).ok(), "an icon read could not be written");
    const files::ReadResult second = files::ReadIco(sink.bytes, limits);
    fuzz::Require(fuzz::CheckRead(second, limits), "an icon we wrote could not be read");
    fuzz::RequireSamePixels(first.picture, second.picture);
    return 0;
}
