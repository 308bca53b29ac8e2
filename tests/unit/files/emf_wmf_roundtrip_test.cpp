// Metafiles we write read back as the very picture, in every depth and on
// awkward sizes; a failing sink or a picture too large for the format is an
// error, never a file half written and reported as saved.
#include "codec_test_support.h"
#include "emf_wmf_fixtures.h"

#include <cstring>
#include <gtest/gtest.h>

namespace kaptivus::files::testing {
namespace {

using pixels::PixelFormat;

struct RoundTrip {
    Metafile format;
    int width;
    int height;
    PixelFormat depth;
};

std::string CaseName(const ::testing::TestParamInfo<RoundTrip>& info)
{
    const RoundTrip& c = info.param;
    static const char* const depths[] = { "device", "1", "4", "8", "15", "16", "24", "32", "custom" };
    return std::string(Name(c.format)) + "_" + std::to_string(c.width) + "x" + std::to_string(c.height) + "_bits"
        + depths[static_cast<int>(c.depth)];
}

class MetafileRoundTrip : public ::testing::TestWithParam<RoundTrip> { };

TEST_P(MetafileRoundTrip, ReadingWhatWasWrittenGivesThePictureBack)
{
    const RoundTrip& c = GetParam();
    pixels::Picture picture = RandomPicture(c.width, c.height, uint32_t(c.width * 7919 + c.height));
    picture.convertTo(c.depth);
    const std::vector<uint8_t> bytes = Write(c.format, picture);
    ASSERT_FALSE(bytes.empty());
    const ReadResult read = Read(c.format, bytes);
    ASSERT_TRUE(read.ok()) << read.error;
    EXPECT_EQ(read.picture.format(), PixelFormat::Bits24);
    ASSERT_EQ(read.picture.width(), c.width);
    ASSERT_EQ(read.picture.height(), c.height);
    for (int y = 0; y < c.height; ++y) {
        if (picture.format() == PixelFormat::Bits24) {
            // Whole rows at once: the large case has two million pixels.
            ASSERT_EQ(0, std::memcmp(read.picture.scanLine(y), picture.scanLine(y), size_t(c.width) * 3))
                << "row " << y;
            continue;
        }
        for (int x = 0; x < c.width; ++x)
            ASSERT_EQ(read.picture.pixel(x, y), picture.pixel(x, y)) << "at " << x << "," << y;
    }
}

std::vector<RoundTrip> RoundTrips()
{
    std::vector<RoundTrip> cases;
    for (Metafile format : { Metafile::Emf, Metafile::Wmf }) {
        // Odd widths pad every row; 1417 × 1411 is about the largest picture
        // that comes back at its own size (just under 2,000,000 pixels).
        for (auto [w, h] :
            { std::pair { 1, 1 }, { 2, 3 }, { 3, 2 }, { 5, 7 }, { 31, 17 }, { 255, 3 }, { 1, 300 }, { 1417, 1411 } })
            cases.push_back({ format, w, h, PixelFormat::Bits24 });
        for (PixelFormat depth : { PixelFormat::Bits1, PixelFormat::Bits4, PixelFormat::Bits8, PixelFormat::Bits15,
                 PixelFormat::Bits16, PixelFormat::Bits32, PixelFormat::DeviceDefault })
            cases.push_back({ format, 13, 11, depth });
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Sizes, MetafileRoundTrip, ::testing::ValuesIn(RoundTrips()), CaseName);

using testsupport::FailingSink;

TEST(MetafileWrite, ASinkThatStopsTakingBytesAnywhereGivesAnError)
{
    const pixels::Picture picture = RandomPicture(5, 3, 1);
    for (Metafile format : { Metafile::Emf, Metafile::Wmf }) {
        const size_t full = Write(format, picture).size();
        ASSERT_GT(full, 0u);
        for (size_t allowed = 0; allowed < full; ++allowed) {
            FailingSink sink(allowed);
            const CodecStatus status = format == Metafile::Emf ? WriteEmf(picture, sink) : WriteWmf(picture, sink);
            EXPECT_FALSE(status.ok()) << Name(format) << " reported success with only " << allowed << " bytes taken";
            EXPECT_FALSE(status.error.empty());
        }
        FailingSink enough(full);
        EXPECT_TRUE((format == Metafile::Emf ? WriteEmf(picture, enough) : WriteWmf(picture, enough)).ok());
    }
}

TEST(MetafileWrite, PicturesTheFormatCannotHoldAreRefusedWithAReason)
{
    struct Case {
        Metafile format;
        int width;
        int height;
        bool fits;
    };
    // WMF coordinates are signed 16-bit; EMF's are 32-bit.
    for (const Case& c : { Case { Metafile::Wmf, 32767, 1, true }, Case { Metafile::Wmf, 32768, 1, false },
             Case { Metafile::Wmf, 1, 32768, false }, Case { Metafile::Emf, 32768, 1, true },
             Case { Metafile::Emf, 0, 0, false }, Case { Metafile::Wmf, 0, 0, false } }) {
        const pixels::Picture picture = pixels::Picture::create(c.width, c.height, PixelFormat::Bits24);
        MemorySink sink;
        const CodecStatus status = c.format == Metafile::Emf ? WriteEmf(picture, sink) : WriteWmf(picture, sink);
        EXPECT_EQ(status.ok(), c.fits) << Name(c.format) << " " << c.width << "x" << c.height << ": " << status.error;
        if (!c.fits) {
            EXPECT_FALSE(status.error.empty());
        } else {
            const ReadResult read = Read(c.format, sink.bytes);
            ASSERT_TRUE(read.ok()) << read.error;
            EXPECT_EQ(read.picture.width(), c.width);
        }
    }
    const pixels::Picture wide = pixels::Picture::create(32768, 1, PixelFormat::Bits24);
    MemorySink sink;
    EXPECT_NE(WriteWmf(wide, sink).error.find("32767"), std::string::npos);
}

} // namespace
} // namespace kaptivus::files::testing
