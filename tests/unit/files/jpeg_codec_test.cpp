// JPEG writing and reading checked against libjpeg-turbo's own programs and
// Pillow, on files made at test time.
#include "files/JpegCodec.h"
#include "jpeg_png_support.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace kaptivus::files {
namespace {

using namespace jpegpng;

// Every source depth, and a large noisy picture (the library converts our BGR
// rows exactly as RGB rows), goes out as the same bytes cjpeg makes from the
// 24-bit pixels at quality 100 with baseline tables; our reader and djpeg
// decode the file alike, to the picture within what 4:2:0 chroma sampling
// loses.
TEST(JpegWrite, EveryDepthWritesWhatCjpegWritesAndReadsBack)
{
    TempFolder dir;
    std::vector<Picture> sources;
    for (PixelFormat format : kEveryFormat)
        sources.push_back(FixtureIn(format));
    Picture noisy = FixtureIn(PixelFormat::Bits24, 301, 199); // several output chunks
    for (uint32_t i = 0, seed = 1; i < 301 * 199; i += 3, seed = seed * 1103515245u + 12345u)
        noisy.setPixel(i % 301, i / 301, PixelBGR { uint8_t(seed >> 8), uint8_t(seed >> 16), uint8_t(seed >> 24) });
    sources.push_back(noisy);
    for (size_t i = 0; i < sources.size(); ++i) {
        SCOPED_TRACE("source " + std::to_string(i));
        const Picture& source = sources[i];
        MemorySink sink;
        ASSERT_TRUE(WriteJpeg(source, sink).ok());
        WriteFile(dir / "ours.jpg", sink.bytes);
        WritePpm(dir / "source.ppm", source);
        ASSERT_EQ(
            RunTool("cjpeg -quality 100 -baseline -outfile " + dir.str("cjpeg.jpg") + " " + dir.str("source.ppm")), 0);
        EXPECT_EQ(sink.bytes, ReadFile(dir / "cjpeg.jpg"));

        ASSERT_EQ(RunTool("djpeg -ppm -outfile " + dir.str("ours.ppm") + " " + dir.str("ours.jpg")), 0);
        const Picture decoded = ReadPnm(dir / "ours.ppm");
        const ReadResult result = ReadJpeg(sink.bytes);
        ASSERT_TRUE(result.ok()) << result.error;
        EXPECT_EQ(result.picture.format(), PixelFormat::Bits24);
        EXPECT_EQ(MaxDifference(result.picture, decoded), 0);
        // Sharp edges of the indexed depths lose most to chroma sampling; a
        // flip or a channel swap would differ by tens on average. Noise loses more.
        double mean = 0;
        MaxDifference(source, decoded, &mean);
        EXPECT_LE(i < std::size(kEveryFormat) ? mean : 0, 6.0);
    }
}

// Files made by other programs open with the pixels djpeg decodes from them,
// at 24 bits; greyscale files (with a table of greys only, whatever the
// screen) and colour files on a screen of 8 bits or less come out with at most
// 236 colours, exactly as djpeg's own quantiser gives.
TEST(JpegRead, FilesOfOtherProgramsOpenWithTheirPixels)
{
    TempFolder dir;
    const std::string in = dir.str("source.ppm"), out = dir.str("file.jpg");
    const std::string cjpeg = "cjpeg -outfile " + out + " ";
    const std::string cmyk = std::string(kPython) + " -c \"from PIL import Image; Image.open('" + in
        + "').convert('CMYK').save('" + out + "', quality=95)\"";
    const struct {
        std::string make; // shell command: source.ppm → file.jpg
        int screenBits;
        PixelFormat expected;
        const char* djpegOptions; // decoding the same way; nullptr: near the source
    } cases[] = {
        { cjpeg + "-quality 85 " + in, 24, PixelFormat::Bits24, "-ppm" },
        { cjpeg + "-progressive " + in, 24, PixelFormat::Bits24, "-ppm" },
        { cjpeg + "-arithmetic -restart 1 " + in, 24, PixelFormat::Bits24, "-ppm" },
        { cjpeg + "-grayscale " + in, 24, PixelFormat::Bits8, "-colors 236 -pnm" },
        { cjpeg + "-quality 90 " + in, 8, PixelFormat::Bits8, "-colors 236 -ppm" },
        { cmyk, 24, PixelFormat::Bits24, nullptr },
        { cmyk, 8, PixelFormat::Bits8, nullptr }, // no libjpeg quantiser for CMYK: our own colour cube
    };
    const Picture source = FixtureIn(PixelFormat::Bits24, 67, 45);
    WritePpm(in, source);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.make + " at " + std::to_string(c.screenBits) + " bits");
        ASSERT_EQ(RunTool(c.make), 0);
        const ReadResult result = ReadJpeg(ReadFile(out), {}, c.screenBits);
        ASSERT_TRUE(result.ok()) << result.error;
        EXPECT_EQ(result.picture.format(), c.expected);
        if (c.expected == PixelFormat::Bits8) {
            EXPECT_LE(result.picture.palette().size(), 236u);
        }
        if (c.make.find("-grayscale") != std::string::npos)
            for (pixels::Color colour : result.picture.palette()) {
                EXPECT_EQ(colour & 0xFF, (colour >> 8) & 0xFF);
                EXPECT_EQ(colour & 0xFF, (colour >> 16) & 0xFF);
            }
        if (c.djpegOptions) {
            ASSERT_EQ(
                RunTool(std::string("djpeg ") + c.djpegOptions + " -outfile " + dir.str("djpeg.pnm") + " " + out), 0);
            EXPECT_EQ(MaxDifference(result.picture, ReadPnm(dir / "djpeg.pnm")), 0);
        } else {
            EXPECT_LE(MaxDifference(result.picture, source), c.screenBits > 8 ? 24 : 64);
        }
    }
}

// A small file of endless scans would hold the decoder for minutes: past 500
// scans it is refused; a few extra scans still open.
TEST(JpegRead, FileOfEndlessScansIsRefused)
{
    TempFolder dir;
    WritePpm(dir / "source.ppm", FixtureIn(PixelFormat::Bits24, 64, 64));
    ASSERT_EQ(RunTool("cjpeg -progressive -outfile " + dir.str("p.jpg") + " " + dir.str("source.ppm")), 0);
    const std::vector<uint8_t> progressive = ReadFile(dir / "p.jpg");
    const ReadResult few = ReadJpeg(RepeatLastScan(progressive, 20));
    EXPECT_TRUE(few.ok()) << few.error;
    EXPECT_EQ(ReadJpeg(RepeatLastScan(progressive, 600)).error,
        "the file has more than 500 scans, too many for a picture of its size");
}

} // namespace
} // namespace kaptivus::files
