// The JPEG and PNG codecs against what goes wrong: a sink that stops taking
// bytes, headers claiming sizes beyond the limits, cut and damaged files.
#include "files/JpegCodec.h"
#include "files/PngCodec.h"
#include "jpeg_png_support.h"

#include <gtest/gtest.h>

#include <functional>

namespace kaptivus::files {
namespace {

using namespace jpegpng;

struct Codec {
    const char* name;
    std::function<CodecStatus(const Picture&, ByteSink&)> write;
    std::function<ReadResult(Bytes, const ReadLimits&)> read;
    // Sets the width and height its header declares.
    std::function<void(std::vector<uint8_t>&, uint32_t, uint32_t)> claimSize;
};

void PutBigEndian(std::vector<uint8_t>& bytes, size_t at, uint32_t value, int count)
{
    for (int i = 0; i < count; ++i)
        bytes[at + i] = static_cast<uint8_t>(value >> (8 * (count - 1 - i)));
}

uint32_t Crc32(const uint8_t* data, size_t size)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// The SOF0 segment: FF C0, length, precision, height, width.
void ClaimJpegSize(std::vector<uint8_t>& bytes, uint32_t width, uint32_t height)
{
    for (size_t i = 2; i + 9 < bytes.size(); ++i)
        if (bytes[i] == 0xFF && bytes[i + 1] == 0xC0) {
            PutBigEndian(bytes, i + 5, height, 2);
            PutBigEndian(bytes, i + 7, width, 2);
            return;
        }
    FAIL() << "no SOF0 segment";
}

// IHDR follows the signature; its CRC is made right again so that only the
// size can be the reason for a refusal.
void ClaimPngSize(std::vector<uint8_t>& bytes, uint32_t width, uint32_t height)
{
    PutBigEndian(bytes, 16, width, 4);
    PutBigEndian(bytes, 20, height, 4);
    PutBigEndian(bytes, 29, Crc32(bytes.data() + 12, 17), 4);
}

std::vector<Codec> Codecs()
{
    return {
        { "JPEG", [](const Picture& p, ByteSink& s) { return WriteJpeg(p, s); },
            [](Bytes b, const ReadLimits& l) { return ReadJpeg(b, l); }, ClaimJpegSize },
        { "PNG", WritePng, ReadPng, ClaimPngSize },
    };
}

// A sink that stops taking bytes at any point makes the write fail with a
// reason; it never reports success for a file that is not whole.
TEST(JpegPngHostile, FailingSinkGivesAnError)
{
    const Picture picture = FixtureIn(PixelFormat::Bits24, 300, 200);
    for (const Codec& codec : Codecs()) {
        MemorySink whole;
        ASSERT_TRUE(codec.write(picture, whole).ok());
        for (size_t budget : { size_t { 0 }, size_t { 10 }, whole.bytes.size() / 2, whole.bytes.size() - 1 }) {
            SCOPED_TRACE(std::string(codec.name) + " budget " + std::to_string(budget));
            FailingSink sink(budget);
            const CodecStatus status = codec.write(picture, sink);
            EXPECT_FALSE(status.ok());
            EXPECT_EQ(status.error, "the picture's bytes could not be written");
        }
        FailingSink enough(whole.bytes.size());
        EXPECT_TRUE(codec.write(picture, enough).ok()) << codec.name;
    }
}

// A header claiming a size beyond the limits is refused by the size check
// itself, before anything is allocated for it (a failed allocation would
// give another reason), and quickly.
TEST(JpegPngHostile, HugeHeaderIsRefusedBeforeAllocation)
{
    struct Claim {
        uint32_t width, height;
        ReadLimits limits;
    };
    ReadLimits small;
    small.maxPixels = 37 * 23 - 1;
    const Claim claims[] = {
        { 65000, 65000, {} }, // 4.2 billion pixels, each side allowed
        { 40000, 40000, {} },
        { 37, 23, small },
    };
    for (const Codec& codec : Codecs()) {
        MemorySink sink;
        ASSERT_TRUE(codec.write(FixtureIn(PixelFormat::Bits24), sink).ok());
        for (const Claim& claim : claims) {
            SCOPED_TRACE(std::string(codec.name) + " " + std::to_string(claim.width) + "x" + std::to_string(claim.height));
            std::vector<uint8_t> bytes = sink.bytes;
            codec.claimSize(bytes, claim.width, claim.height);
            const ReadResult result = codec.read(bytes, claim.limits);
            EXPECT_FALSE(result.ok());
            EXPECT_NE(result.error.find("beyond the limit"), std::string::npos) << result.error;
        }
    }
}

// Cut and damaged files never crash. A JPEG cut inside its picture data opens
// with the rows it has (libjpeg fills the rest, as every viewer shows it); a
// cut PNG, or any file cut inside its header, is refused with a reason.
TEST(JpegPngHostile, CutAndDamagedFilesAreHandled)
{
    const Picture picture = FixtureIn(PixelFormat::Bits24, 64, 48);
    for (const Codec& codec : Codecs()) {
        SCOPED_TRACE(codec.name);
        MemorySink sink;
        ASSERT_TRUE(codec.write(picture, sink).ok());
        const std::vector<uint8_t>& whole = sink.bytes;
        const bool isJpeg = std::string(codec.name) == "JPEG";

        const std::vector<uint8_t> cutInData(whole.begin(), whole.begin() + static_cast<long>(whole.size() * 3 / 4));
        const ReadResult cut = codec.read(cutInData, {});
        EXPECT_EQ(cut.ok(), isJpeg) << cut.error;
        if (cut.ok()) {
            EXPECT_EQ(cut.picture.width(), 64);
            EXPECT_EQ(cut.picture.height(), 48);
            const PixelBGR first = cut.picture.pixel(0, 0);
            const PixelBGR expected = picture.pixel(0, 0);
            EXPECT_LE(std::abs(first.r - expected.r) + std::abs(first.g - expected.g) + std::abs(first.b - expected.b), 12);
        }

        for (size_t length : { size_t { 0 }, size_t { 1 }, size_t { 8 }, size_t { 30 } }) {
            const ReadResult result = codec.read(Bytes(whole.data(), std::min(length, whole.size())), {});
            EXPECT_FALSE(result.ok());
            EXPECT_FALSE(result.error.empty());
        }

        std::vector<uint8_t> damaged = whole;
        for (size_t i = damaged.size() / 3; i < damaged.size(); i += 7)
            damaged[i] ^= 0x5A;
        const ReadResult garbled = codec.read(damaged, {});
        EXPECT_TRUE(garbled.ok() || !garbled.error.empty());

        const std::vector<uint8_t> text = { 'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c', 't', 'u', 'r', 'e' };
        EXPECT_FALSE(codec.read(text, {}).ok());

        ReadLimits tiny;
        tiny.maxFileBytes = whole.size() - 1;
        EXPECT_EQ(codec.read(whole, tiny).error, "the file is too large");
    }
}

// An empty picture has nothing to write.
TEST(JpegPngHostile, EmptyPictureIsNotWritten)
{
    for (const Codec& codec : Codecs()) {
        MemorySink sink;
        EXPECT_FALSE(codec.write(Picture {}, sink).ok()) << codec.name;
        EXPECT_TRUE(sink.bytes.empty()) << codec.name;
    }
}

} // namespace
} // namespace kaptivus::files
