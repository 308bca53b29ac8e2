// BMP files against independent programs: files we write open in ImageMagick
// and Pillow with our pixels; files they write open here with theirs.
#include "bmp_fixtures.h"
#include "files/BmpCodec.h"
#include "files/Dib.h"

namespace kaptivus::files::testing {
namespace {

TEST(BmpTools, FilesWeWriteOpenInImageMagickAndPillowWithOurPixels)
{
    TempFolder folder;
    for (const PixelFormat f : OwnFormats()) {
        const Picture p = Fixture(13, 7, f);
        MemorySink sink;
        ASSERT_TRUE(WriteBmp(p, sink).ok());
        const auto file = folder / ("ours" + std::to_string(pixels::PixelFormatBits(p)) + ".bmp");
        WriteFile(file, sink.bytes);
        const int tolerance = (f == PixelFormat::Bits15 || f == PixelFormat::Bits16) ? 1 : 0;
        for (const auto& [tool, decoded] :
            { std::pair { "ImageMagick", DecodeWithImageMagick(file) }, std::pair { "Pillow", DecodeWithPillow(file) } }) {
            const std::string what = std::string(tool) + ", " + std::to_string(pixels::PixelFormatBits(p)) + " bits";
            EXPECT_EQ(decoded.width, 13) << what;
            EXPECT_EQ(decoded.height, 7) << what;
            ExpectSamePixels(PixelsOf(p), decoded.pixels, tolerance, what);
        }
    }
}

TEST(BmpTools, FilesOtherProgramsWriteOpenWithTheirPixels)
{
    struct Case {
        const char* name;
        std::string command; // makes out.bmp from src.ppm
        bool pillow; // decoded by Pillow rather than ImageMagick for the reference
        int headerSize, bitCount, compression;
    };
    const std::string im = "convert src.ppm ";
    const std::string pil = "/usr/bin/python3 -c \"from PIL import Image; Image.open('src.ppm')";
    const Case cases[] = {
        { "ImageMagick 24 bits", im + "BMP3:out.bmp", false, 40, 24, 0 },
        { "ImageMagick RLE8", im + "-colors 200 -compress RLE BMP3:out.bmp", false, 40, 8, 1 },
        { "ImageMagick 4 bits", im + "-colors 12 BMP3:out.bmp", false, 40, 4, 0 },
        { "ImageMagick 1 bit", im + "-monochrome BMP3:out.bmp", false, 40, 1, 0 },
        { "ImageMagick core header", im + "BMP2:out.bmp", false, 12, 24, 0 },
        { "ImageMagick core header 8 bits", im + "-colors 60 BMP2:out.bmp", false, 12, 8, 0 },
        { "ImageMagick RGB565", im + "-define bmp:subtype=RGB565 out.bmp", false, 124, 16, 3 },
        { "ImageMagick RGB555", im + "-define bmp:subtype=RGB555 out.bmp", false, 124, 16, 3 },
        { "ImageMagick ARGB8888", im + "-alpha set -define bmp:subtype=ARGB8888 out.bmp", false, 124, 32, 3 },
        { "Pillow palette", pil + ".convert('P').save('out.bmp')\"", true, 40, 8, 0 },
        { "Pillow grey", pil + ".convert('L').save('out.bmp')\"", true, 40, 8, 0 },
        { "Pillow RGBA", pil + ".convert('RGBA').save('out.bmp')\"", true, 40, 32, 0 },
    };
    TempFolder folder;
    WritePpm(folder / "src.ppm", Fixture(37, 11, PixelFormat::Bits24));
    for (const Case& c : cases) {
        const auto out = folder / "out.bmp";
        std::filesystem::remove(out);
        ASSERT_TRUE(RunCommand("cd '" + (folder / "").string() + "' && " + c.command)) << c.name;
        const std::vector<uint8_t> bytes = ReadFile(out);
        ASSERT_GE(bytes.size(), 54u) << c.name;
        // The layout really is the one this case is about.
        EXPECT_EQ(LoadLe(bytes.data() + 14, 4), uint32_t(c.headerSize)) << c.name;
        EXPECT_EQ(LoadLe(bytes.data() + (c.headerSize == 12 ? 24 : 28), 2), uint32_t(c.bitCount)) << c.name;
        if (c.headerSize != 12) {
            EXPECT_EQ(LoadLe(bytes.data() + 30, 4), uint32_t(c.compression)) << c.name;
        }
        const Decoded reference = c.pillow ? DecodeWithPillow(out) : DecodeWithImageMagick(out);
        const ReadResult ours = ReadBmp(bytes);
        ASSERT_TRUE(ours.ok()) << c.name << ": " << ours.error;
        EXPECT_EQ(ours.picture.width(), 37) << c.name;
        EXPECT_EQ(ours.picture.height(), 11) << c.name;
        ExpectSamePixels(reference.pixels, PixelsOf(ours.picture), c.bitCount == 16 ? 1 : 0, c.name);
    }
}

} // namespace
} // namespace kaptivus::files::testing
