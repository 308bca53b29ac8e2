// Fuzz target for the GIF reader: any input must decode or be refused with a
// reason, never fault, and never give a picture beyond the limits; whatever
// decodes must write again and read back with the same pixels.
#include "codec_fuzz_limits.h"
#include "files/GifPicture.h"
#include "pixels/PictureRows.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace kaptivus::files;
    const ReadLimits limits = CodecFuzzLimits();
    ReadResult read = ReadGif(Bytes(data, size), limits);
    if (!read.ok()) {
        if (read.error.empty() || !read.picture.isEmpty()) {
            std::fprintf(stderr, "a refusal without a reason, or with a picture\n");
            std::abort();
        }
        return 0;
    }
    const kaptivus::pixels::Picture& picture = read.picture;
    if (!limits.allows(picture.width(), picture.height())) {
        std::fprintf(stderr, "a picture beyond the limits\n");
        std::abort();
    }
    if (!WorthRoundTrip(picture)) return 0;
    MemorySink sink;
    // Transparent pixels are written on an entry of their own (black): the
    // round trip is about the colours, so the copy goes out opaque.
    kaptivus::pixels::Picture copy = picture;
    copy.setTransparent(false);
    if (!WriteGif(copy, sink).ok()) {
        // Indices beyond a short table are refused by the writer, not faults.
        return 0;
    }
    const ReadResult again = ReadGif(Bytes(sink.bytes), limits);
    if (!again.ok() || again.picture.width() != picture.width() || again.picture.height() != picture.height()) {
        std::fprintf(stderr, "a written file does not read back: %s\n", again.error.c_str());
        std::abort();
    }
    const kaptivus::pixels::PictureRowReader before(picture), after(again.picture);
    std::vector<kaptivus::pixels::PixelBGR> a(static_cast<size_t>(picture.width())), b(a.size());
    for (int y = 0; y < picture.height(); ++y) {
        before.read(y, 0, picture.width(), a.data());
        after.read(y, 0, picture.width(), b.data());
        if (a != b) {
            std::fprintf(stderr, "row %d changed by a write and a read\n", y);
            std::abort();
        }
    }
    return 0;
}
