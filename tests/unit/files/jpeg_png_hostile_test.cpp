// The JPEG and PNG codecs against what goes wrong: a sink that stops taking
// bytes, headers claiming sizes beyond the limits, cut and damaged files.
#include "files/JpegCodec.h"
#include "files/PngCodec.h"
#include "jpeg_png_support.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>

namespace kaptivus::files {
namespace {

using namespace jpegpng;

void PutBigEndian(std::vector<uint8_t>& bytes, size_t at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

// The SOF0 segment: FF C0, length, precision, height, width.
void ClaimJpegSize(std::vector<uint8_t>& bytes, uint32_t width, uint32_t height)
{
    const uint8_t sof0[] = { 0xFF, 0xC0 };
    const size_t at = static_cast<size_t>(std::search(bytes.begin(), bytes.end(), sof0, sof0 + 2) - bytes.begin());
    ASSERT_LT(at + 9, bytes.size()) << "no SOF0 segment";
    PutBigEndian(bytes, at + 5, height << 16 | width);
}

// IHDR follows the signature; its CRC is made right again so that only the
// size can be the reason for a refusal.
void ClaimPngSize(std::vector<uint8_t>& bytes, uint32_t width, uint32_t height)
{
    PutBigEndian(bytes, 16, width);
    PutBigEndian(bytes, 20, height);
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 12; i < 29; ++i) {
        crc ^= bytes[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    PutBigEndian(bytes, 29, ~crc);
}

struct Codec {
    const char* name;
    std::function<CodecStatus(const Picture&, ByteSink&)> write;
    std::function<ReadResult(Bytes, const ReadLimits&)> read;
    std::function<void(std::vector<uint8_t>&, uint32_t, uint32_t)> claimSize; // in the header
    bool opensWhenCutInData;
};

const Codec kCodecs[] = {
    { "JPEG", [](const Picture& p, ByteSink& s) { return WriteJpeg(p, s); },
        [](Bytes b, const ReadLimits& l) { return ReadJpeg(b, l); }, ClaimJpegSize, true },
    { "PNG", WritePng, ReadPng, ClaimPngSize, false },
};

// A sink that stops taking bytes at any point makes the write fail with a
// reason; it never reports success for a file that is not whole. An empty
// picture has nothing to write.
TEST(JpegPngHostile, FailingSinkGivesAnError)
{
    const Picture picture = FixtureIn(PixelFormat::Bits24, 300, 200);
    for (const Codec& codec : kCodecs) {
        MemorySink whole;
        ASSERT_TRUE(codec.write(picture, whole).ok());
        for (size_t budget : { size_t { 0 }, size_t { 10 }, whole.bytes.size() / 2, whole.bytes.size() - 1 }) {
            SCOPED_TRACE(std::string(codec.name) + " budget " + std::to_string(budget));
            FailingSink sink(budget);
            EXPECT_EQ(codec.write(picture, sink).error, "the picture's bytes could not be written");
        }
        FailingSink enough(whole.bytes.size());
        EXPECT_TRUE(codec.write(picture, enough).ok()) << codec.name;
        MemorySink empty;
        EXPECT_FALSE(codec.write(Picture {}, empty).ok()) << codec.name;
        EXPECT_TRUE(empty.bytes.empty()) << codec.name;
    }
}

// Damaged files never crash, and a refusal always gives a reason. A header
// claiming a size beyond the limits is refused by the size check itself,
// before anything is allocated for it (a failed allocation would give another
// reason); so are a file over the size limit, a file cut inside its header and
// text. A JPEG cut inside its picture data opens with the rows it has (libjpeg
// fills the rest, as every viewer shows it); a cut PNG is refused.
TEST(JpegPngHostile, DamagedFilesAreRefusedWithAReason)
{
    const Picture picture = FixtureIn(PixelFormat::Bits24, 64, 48);
    ReadLimits fewerPixels, fewerBytes;
    fewerPixels.maxPixels = 64 * 48 - 1;
    const std::string text = "not a picture";
    for (const Codec& codec : kCodecs) {
        MemorySink sink;
        ASSERT_TRUE(codec.write(picture, sink).ok());
        const std::vector<uint8_t>& whole = sink.bytes;
        fewerBytes.maxFileBytes = whole.size() - 1;
        const auto claim = [&](uint32_t width, uint32_t height) {
            std::vector<uint8_t> bytes = whole;
            codec.claimSize(bytes, width, height);
            return bytes;
        };
        const auto part = [&](size_t size) { return std::vector<uint8_t>(whole.begin(), whole.begin() + size); };
        const struct {
            const char* what;
            std::vector<uint8_t> bytes;
            ReadLimits limits = {};
            const char* reason = ""; // a part of the error
        } refused[] = {
            { "4.2 billion pixels, each side allowed", claim(65000, 65000), {},
                "the picture is 65000 x 65000 pixels, more than the 100 million pixels a picture may have" },
            { "1.6 billion pixels", claim(40000, 40000), {}, "more than the 100 million pixels" },
            { "one pixel too many", whole, fewerPixels, "more than the 3071 pixels" },
            { "empty", part(0) },
            { "cut to 1 byte", part(1) },
            { "cut to 8 bytes", part(8) },
            { "cut to 30 bytes", part(30) },
            { "text", std::vector<uint8_t>(text.begin(), text.end()) },
        };
        for (const auto& r : refused) {
            SCOPED_TRACE(std::string(codec.name) + ": " + r.what);
            const ReadResult result = codec.read(r.bytes, r.limits);
            EXPECT_FALSE(result.ok());
            EXPECT_FALSE(result.error.empty());
            EXPECT_NE(result.error.find(r.reason), std::string::npos) << result.error;
        }
        SCOPED_TRACE(codec.name);
        EXPECT_EQ(codec.read(whole, fewerBytes).error, "the file is too large");

        const ReadResult cut = codec.read(Bytes(whole.data(), whole.size() * 3 / 4), {});
        EXPECT_EQ(cut.ok(), codec.opensWhenCutInData) << cut.error;
        if (cut.ok()) {
            EXPECT_EQ(cut.picture.width(), 64);
            EXPECT_EQ(cut.picture.height(), 48);
            const PixelBGR first = cut.picture.pixel(0, 0), expected = picture.pixel(0, 0);
            EXPECT_LE(
                std::abs(first.r - expected.r) + std::abs(first.g - expected.g) + std::abs(first.b - expected.b), 12);
        }
        std::vector<uint8_t> damaged = whole;
        for (size_t i = damaged.size() / 3; i < damaged.size(); i += 7)
            damaged[i] ^= 0x5A;
        const ReadResult garbled = codec.read(damaged, {});
        EXPECT_TRUE(garbled.ok() || !garbled.error.empty());
    }
}

} // namespace
} // namespace kaptivus::files
