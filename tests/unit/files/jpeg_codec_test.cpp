// JPEG writing and reading checked against libjpeg-turbo's own programs,
// ImageMagick and Pillow, on files made at test time.
#include "files/JpegCodec.h"
#include "jpeg_png_support.h"

#include <gtest/gtest.h>

#include <set>

namespace kaptivus::files {
namespace {

using namespace jpegpng;

int CountColours(const Picture& picture)
{
    std::set<uint32_t> colours;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const PixelBGR p = picture.pixel(x, y);
            colours.insert(p.r | (p.g << 8) | (p.b << 16));
        }
    return static_cast<int>(colours.size());
}

double MeanDifference(const Picture& a, const Pnm& b)
{
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const PixelBGR p = a.pixel(x, y);
            const PixelBGR q = b.pixel(x, y);
            sum += std::abs(p.r - q.r) + std::abs(p.g - q.g) + std::abs(p.b - q.b);
        }
    return sum / (3.0 * a.width() * a.height());
}

// Every source depth goes out as the same bytes cjpeg makes from the
// picture's 24-bit pixels at quality 100 with baseline tables, ImageMagick
// sees quality 100, and djpeg gives back the picture within what 4:2:0
// chroma sampling loses.
TEST(JpegWrite, EveryDepthWritesWhatCjpegWritesAtQualityHundred)
{
    ScratchDir dir;
    for (PixelFormat format : { PixelFormat::DeviceDefault, PixelFormat::Bits1, PixelFormat::Bits4, PixelFormat::Bits8,
             PixelFormat::Bits15, PixelFormat::Bits16, PixelFormat::Bits24, PixelFormat::Bits32 }) {
        SCOPED_TRACE(FormatName(format));
        const Picture source = FixtureIn(format);
        MemorySink sink;
        ASSERT_TRUE(WriteJpeg(source, sink).ok());
        WriteFile(dir / "ours.jpg", sink.bytes);
        WritePpm(source, dir / "source.ppm");
        ASSERT_EQ(RunTool("cjpeg -quality 100 -baseline -outfile " + dir.str("cjpeg.jpg") + " " + dir.str("source.ppm")), 0);
        EXPECT_EQ(sink.bytes, ReadFile(dir / "cjpeg.jpg"));

        ASSERT_EQ(RunTool("djpeg -ppm -outfile " + dir.str("ours.ppm") + " " + dir.str("ours.jpg")), 0);
        const Pnm decoded = ReadPnm(dir / "ours.ppm");
        // Sharp edges of the indexed depths lose most to chroma sampling; a
        // flip or a channel swap would differ by tens on average.
        EXPECT_LE(MeanDifference(source, decoded), 6.0);

        ASSERT_EQ(RunTool("identify -format '%w %h %[colorspace] %Q' " + dir.str("ours.jpg") + " > " + dir.str("id.txt")), 0);
        const std::vector<uint8_t> id = ReadFile(dir / "id.txt");
        EXPECT_EQ(std::string(id.begin(), id.end()), "37 23 sRGB 100");
    }
}

// The library converts BGR rows exactly as it converts RGB rows: our shortcut
// and the plain way give the same file for a large picture with noise too.
TEST(JpegWrite, LargeNoisyPictureMatchesCjpeg)
{
    ScratchDir dir;
    Picture source = Fixture(301, 199);
    uint32_t seed = 12345;
    for (int y = 0; y < source.height(); y += 3)
        for (int x = 0; x < source.width(); ++x) {
            seed = seed * 1103515245u + 12345u;
            source.setPixel(x, y, PixelBGR { uint8_t(seed >> 8), uint8_t(seed >> 16), uint8_t(seed >> 24) });
        }
    MemorySink sink;
    ASSERT_TRUE(WriteJpeg(source, sink).ok());
    WritePpm(source, dir / "source.ppm");
    ASSERT_EQ(RunTool("cjpeg -quality 100 -baseline -outfile " + dir.str("cjpeg.jpg") + " " + dir.str("source.ppm")), 0);
    EXPECT_EQ(sink.bytes, ReadFile(dir / "cjpeg.jpg"));
}

struct ForeignJpeg {
    const char* name;
    std::string make; // shell command: source.ppm → file.jpg
    int screenBits;
    PixelFormat expected;
    const char* djpegOptions; // decoding the same way; nullptr: compare with the source
    int tolerance;            // against the source when there is no djpeg reference
};

// Files made by other programs open with the pixels djpeg decodes from them,
// at 24 bits; greyscale files and colour files on a screen of 8 bits or less
// come out with at most 236 colours, exactly as djpeg's own quantiser gives.
TEST(JpegRead, FilesOfOtherProgramsOpenWithTheirPixels)
{
    ScratchDir dir;
    const std::string in = dir.str("source.ppm");
    const std::string out = dir.str("file.jpg");
    const std::string pillow = std::string(kPython) + " -c \"from PIL import Image; Image.open('" + in + "')";
    const ForeignJpeg cases[] = {
        { "cjpeg baseline", "cjpeg -quality 85 -outfile " + out + " " + in, 24, PixelFormat::Bits24, "-ppm", 0 },
        { "cjpeg progressive", "cjpeg -progressive -outfile " + out + " " + in, 24, PixelFormat::Bits24, "-ppm", 0 },
        { "cjpeg arithmetic, restarts", "cjpeg -arithmetic -restart 1 -outfile " + out + " " + in, 24,
            PixelFormat::Bits24, "-ppm", 0 },
        { "cjpeg greyscale", "cjpeg -grayscale -outfile " + out + " " + in, 24, PixelFormat::Bits8, "-colors 236 -pnm",
            0 },
        { "cjpeg on an 8-bit screen", "cjpeg -quality 90 -outfile " + out + " " + in, 8, PixelFormat::Bits8,
            "-colors 236 -ppm", 0 },
        { "progressive on a 4-bit screen", "cjpeg -progressive -outfile " + out + " " + in, 4, PixelFormat::Bits8,
            "-colors 236 -ppm", 0 },
        { "ImageMagick", "convert " + in + " -quality 80 " + out, 24, PixelFormat::Bits24, "-ppm", 0 },
        { "Pillow 4:4:4", pillow + ".save('" + out + "', quality=95, subsampling=0)\"", 24, PixelFormat::Bits24,
            "-ppm", 0 },
        { "Pillow CMYK", pillow + ".convert('CMYK').save('" + out + "', quality=95)\"", 24, PixelFormat::Bits24,
            nullptr, 24 },
        { "Pillow CMYK on an 8-bit screen", pillow + ".convert('CMYK').save('" + out + "', quality=95)\"", 8,
            PixelFormat::Bits8, nullptr, 64 },
    };
    const Picture source = Fixture(67, 45);
    WritePpm(source, in);
    for (const ForeignJpeg& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(RunTool(c.make), 0);
        const std::vector<uint8_t> bytes = ReadFile(out);
        const ReadResult result = ReadJpeg(bytes, {}, c.screenBits);
        ASSERT_TRUE(result.ok()) << result.error;
        EXPECT_EQ(result.picture.format(), c.expected);
        if (c.expected == PixelFormat::Bits8) {
            EXPECT_LE(result.picture.palette().size(), 236u);
            EXPECT_LE(CountColours(result.picture), 236);
        }
        if (c.djpegOptions) {
            ASSERT_EQ(RunTool(std::string("djpeg ") + c.djpegOptions + " -outfile " + dir.str("djpeg.pnm") + " " + out), 0);
            EXPECT_EQ(MaxDifference(result.picture, ReadPnm(dir / "djpeg.pnm")), 0);
        } else {
            EXPECT_LE(MaxDifference(result.picture, source), c.tolerance);
        }
    }
}

// Greyscale files give a table of greys only, whatever the screen.
TEST(JpegRead, GreyscaleFileGivesGreyTable)
{
    ScratchDir dir;
    WritePpm(Fixture(40, 30), dir / "source.ppm");
    ASSERT_EQ(RunTool("cjpeg -grayscale -outfile " + dir.str("grey.jpg") + " " + dir.str("source.ppm")), 0);
    for (int screenBits : { 4, 8, 16, 24, 32 }) {
        const ReadResult result = ReadJpeg(ReadFile(dir / "grey.jpg"), {}, screenBits);
        ASSERT_TRUE(result.ok()) << result.error;
        ASSERT_EQ(result.picture.format(), PixelFormat::Bits8);
        for (pixels::Color c : result.picture.palette()) {
            EXPECT_EQ(c & 0xFF, (c >> 8) & 0xFF);
            EXPECT_EQ(c & 0xFF, (c >> 16) & 0xFF);
        }
    }
}

// A write and a read give back the picture (quality 100, 4:2:0) and the
// same pixels djpeg decodes from the file.
TEST(JpegRead, RoundTripGivesBackThePicture)
{
    ScratchDir dir;
    const Picture source = FixtureIn(PixelFormat::Bits24, 64, 48);
    MemorySink sink;
    ASSERT_TRUE(WriteJpeg(source, sink).ok());
    const ReadResult result = ReadJpeg(sink.bytes);
    ASSERT_TRUE(result.ok()) << result.error;
    EXPECT_EQ(result.picture.format(), PixelFormat::Bits24);
    EXPECT_LE(MaxDifference(result.picture, source), 96);
    WriteFile(dir / "ours.jpg", sink.bytes);
    ASSERT_EQ(RunTool("djpeg -ppm -outfile " + dir.str("ours.ppm") + " " + dir.str("ours.jpg")), 0);
    EXPECT_EQ(MaxDifference(result.picture, ReadPnm(dir / "ours.ppm")), 0);
}

// The progressive file with its last scan (SOS header and data, up to EOI)
// repeated: libjpeg only warns about such a progression and goes on.
std::vector<uint8_t> RepeatLastScan(const std::vector<uint8_t>& jpeg, int copies)
{
    size_t lastScan = 0;
    for (size_t i = 0; i + 1 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xDA) lastScan = i;
    const size_t end = jpeg.size() - 2; // EOI
    std::vector<uint8_t> out(jpeg.begin(), jpeg.begin() + static_cast<long>(end));
    for (int k = 1; k < copies; ++k)
        out.insert(out.end(), jpeg.begin() + static_cast<long>(lastScan), jpeg.begin() + static_cast<long>(end));
    out.insert(out.end(), { 0xFF, 0xD9 });
    return out;
}

// A small file of endless scans would hold the decoder for minutes: past 500
// scans it is refused; a few extra scans still open.
TEST(JpegRead, FileOfEndlessScansIsRefused)
{
    ScratchDir dir;
    WritePpm(Fixture(64, 64), dir / "source.ppm");
    ASSERT_EQ(RunTool("cjpeg -progressive -outfile " + dir.str("p.jpg") + " " + dir.str("source.ppm")), 0);
    const std::vector<uint8_t> progressive = ReadFile(dir / "p.jpg");
    const ReadResult few = ReadJpeg(RepeatLastScan(progressive, 20));
    EXPECT_TRUE(few.ok()) << few.error;
    const ReadResult endless = ReadJpeg(RepeatLastScan(progressive, 600));
    EXPECT_EQ(endless.error, "the file has too many scans");
}

} // namespace
} // namespace kaptivus::files
