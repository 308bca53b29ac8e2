// Icons: our icons through a read and through Pillow and ImageMagick, icons
// those programs make, drawing on white through alpha and AND masks, the
// choice of the largest image, damaged icons and failing sinks.
#include "bmp_builder.h"
#include "bmp_fixtures.h"
#include "files/Dib.h"
#include "files/IcoCodec.h"
#include "files/PngCodec.h"

namespace kaptivus::files::testing {
namespace {

std::vector<uint8_t> WrittenIcon(const Picture& p)
{
    MemorySink sink;
    const CodecStatus status = WriteIco(p, sink);
    EXPECT_TRUE(status.ok()) << status.error;
    return sink.bytes;
}

// An icon image as stored: a BMP file without its 14-byte file header.
std::vector<uint8_t> IconImage(BmpLayout layout)
{
    layout.height *= 2;
    std::vector<uint8_t> bmp = BuildBmp(layout);
    return { bmp.begin() + 14, bmp.end() };
}

std::vector<uint8_t> BuildIco(const std::vector<std::vector<uint8_t>>& images)
{
    std::vector<uint8_t> out;
    Put(out, 2, 1, 2);
    Put(out, 4, static_cast<uint32_t>(images.size()), 2);
    size_t offset = 6 + 16 * images.size();
    for (size_t i = 0; i < images.size(); ++i) {
        Put(out, 6 + 16 * i + 8, static_cast<uint32_t>(images[i].size()), 4);
        Put(out, 6 + 16 * i + 12, static_cast<uint32_t>(offset), 4);
        offset += images[i].size();
    }
    for (const auto& image : images)
        out.insert(out.end(), image.begin(), image.end());
    return out;
}

TEST(IcoRoundTrip, PicturesUpTo256PixelsComeBackExactly)
{
    struct Case {
        int width, height;
        PixelFormat format;
    };
    const Case cases[] = { { 1, 1, PixelFormat::Bits24 }, { 13, 7, PixelFormat::Bits8 }, { 16, 16, PixelFormat::Bits1 },
        { 33, 5, PixelFormat::Bits16 }, { 256, 256, PixelFormat::DeviceDefault }, { 256, 3, PixelFormat::Bits32 } };
    TempFolder folder;
    for (const Case& c : cases) {
        const std::string what = std::to_string(c.width) + " x " + std::to_string(c.height);
        const Picture p = Fixture(c.width, c.height, c.format);
        const std::vector<uint8_t> icon = WrittenIcon(p);
        ASSERT_GE(icon.size(), 62u);
        EXPECT_EQ(icon[6], c.width & 0xFF) << "a side of 256 is stored as 0, " << what;
        EXPECT_EQ(LoadLe(icon.data() + 12, 2), 32u) << what;
        const ReadResult back = ReadIco(icon);
        ASSERT_TRUE(back.ok()) << back.error << ", " << what;
        EXPECT_EQ(back.picture.format(), PixelFormat::Bits24);
        ExpectSamePixels(PixelsOf(p), PixelsOf(back.picture), 0, what);
        const auto file = folder / "ours.ico";
        WriteFile(file, icon);
        for (const auto& [tool, decoded] :
            { std::pair { "Pillow", DecodeWithPillow(file) }, std::pair { "ImageMagick", DecodeWithImageMagick(file) } }) {
            EXPECT_EQ(decoded.width, c.width) << tool << ", " << what;
            ExpectSamePixels(PixelsOf(p), decoded.pixels, 0, std::string(tool) + ", " + what);
        }
    }
}

TEST(IcoWrite, RefusesWhatNoIconHolds)
{
    for (const Picture& p : { Picture::create(257, 1, PixelFormat::Bits24), Picture::create(1, 257, PixelFormat::Bits8),
             Picture {} }) {
        MemorySink sink;
        const CodecStatus status = WriteIco(p, sink);
        EXPECT_FALSE(status.ok());
        EXPECT_TRUE(sink.bytes.empty());
        if (!p.isEmpty()) {
            EXPECT_EQ(status.error, "icons hold at most 256 x 256 pixels");
        }
    }
    const Picture p = Fixture(20, 20, PixelFormat::Bits24);
    const size_t total = WrittenIcon(p).size();
    for (const size_t budget : { size_t { 0 }, total - 1 }) {
        FailingSink sink(budget);
        EXPECT_FALSE(WriteIco(p, sink).ok()) << "budget " << budget;
    }
}

TEST(IcoWrite, TransparentColourIsSeeThroughAndOpensWhite)
{
    Picture p = Fixture(9, 5, PixelFormat::Bits24);
    p.setTransparent(true, 0x000000); // the black middle row
    TempFolder folder;
    const auto file = folder / "clear.ico";
    WriteFile(file, WrittenIcon(p));
    std::vector<PixelBGR> expected = PixelsOf(p);
    for (int x = 0; x < 9; ++x)
        expected[2 * 9 + static_cast<size_t>(x)] = { 255, 255, 255 };
    const ReadResult back = ReadIco(ReadFile(file));
    ASSERT_TRUE(back.ok()) << back.error;
    ExpectSamePixels(expected, PixelsOf(back.picture), 0, "ours");
    ExpectSamePixels(expected, DecodeWithPillow(file).pixels, 0, "Pillow");
}

TEST(IcoRead, AlphaAndAndMaskAreDrawnOnWhite)
{
    // 32 bits: red at alpha 128 gives (255, 127, 127); opaque blue stays blue.
    const std::vector<uint8_t> alpha { 0, 0, 255, 128, 255, 0, 0, 255, 0, 0, 0, 0 };
    // 1 bit, 3 × 1, table black / red: AND 1 over black shows white, AND 1 over
    // red inverts white to cyan, AND 0 shows red.
    const std::vector<uint8_t> masked { 0x60, 0, 0, 0, 0xC0, 0, 0, 0 };
    struct Case {
        const char* name;
        BmpLayout layout;
        std::vector<PixelBGR> expected;
    };
    const Case cases[] = {
        { "alpha", { 40, 2, 1, 32, 0, 0, {}, {}, alpha }, { { 127, 127, 255 }, { 255, 0, 0 } } },
        { "AND mask", { 40, 3, 1, 1, 0, 2, {}, { 0x000000, 0x0000FF }, masked },
            { { 255, 255, 255 }, { 255, 255, 0 }, { 0, 0, 255 } } },
    };
    for (const Case& c : cases) {
        const ReadResult r = ReadIco(BuildIco({ IconImage(c.layout) }));
        ASSERT_TRUE(r.ok()) << c.name << ": " << r.error;
        ExpectSamePixels(c.expected, PixelsOf(r.picture), 0, c.name);
    }
}

TEST(IcoRead, TheLargestThenDeepestReadableImageIsChosen)
{
    const auto solid = [](int side, uint16_t bits, uint8_t value) {
        const int64_t stride = DibStride(side, bits) + DibStride(side, 1);
        BmpLayout s { 40, side, side, bits, 0, bits <= 8 ? 2u : 0u, {}, {}, {} };
        if (bits <= 8) s.palette = { 0x000000, 0xFFFFFF };
        s.bits.assign(static_cast<size_t>(stride * side), value);
        return IconImage(s);
    };
    std::vector<uint8_t> damaged = solid(64, 24, 0x40);
    damaged.resize(100);
    const auto pick = [](const std::vector<std::vector<uint8_t>>& images) {
        const ReadResult r = ReadIco(BuildIco(images));
        EXPECT_TRUE(r.ok()) << r.error;
        return std::pair { r.picture.width(), r.picture.isEmpty() ? PixelBGR {} : r.picture.pixel(0, 0) };
    };
    EXPECT_EQ(pick({ solid(16, 24, 0x10), solid(32, 24, 0x20), solid(24, 24, 0x30) }).first, 32);
    EXPECT_EQ(pick({ solid(32, 1, 0x00), solid(32, 24, 0x20) }).second, (PixelBGR { 0x20, 0x20, 0x20 }))
        << "same size: the deeper image";
    EXPECT_EQ(pick({ damaged, solid(32, 24, 0x20) }).first, 32) << "a damaged image gives way to the next";
}

TEST(IcoRead, MalformedIconsGiveErrors)
{
    const std::vector<uint8_t> good = IconImage({ 40, 2, 2, 24, 0, 0, {}, {}, std::vector<uint8_t>(24, 0) });
    std::vector<uint8_t> truncated = good;
    truncated.resize(50);
    std::vector<uint8_t> rle = IconImage({ 40, 4, 1, 8, 1, 2, {}, { 0, 0xFFFFFF }, { 4, 1, 0, 1 } });
    std::vector<uint8_t> offsetPastEnd = BuildIco({ good });
    Put(offsetPastEnd, 18, 9999, 4);
    std::vector<uint8_t> cursorOfNothing { 0, 0, 2, 0, 0, 0 };
    struct Case {
        const char* name;
        std::vector<uint8_t> file;
        const char* error;
    };
    const Case cases[] = {
        { "empty", {}, "not an icon file" },
        { "no images", cursorOfNothing, "not an icon file" },
        { "type 3", { 0, 0, 3, 0, 1, 0 }, "not an icon file" },
        { "directory cut short", { 0, 0, 1, 0, 2, 0, 16, 16, 0, 0, 1, 0, 32, 0 }, "truncated icon directory" },
        { "image offset past the end", offsetPastEnd, "no readable image" },
        { "colour rows cut short", BuildIco({ truncated }), "truncated pixel data" },
        { "run-length image", BuildIco({ rle }), "compressed icon images are not supported" },
        { "huge image", BuildIco({ IconImage({ 40, 70000, 70000, 32, 0, 0, {}, {}, {} }) }), "wider or taller than 65535" },
    };
    for (const Case& c : cases) {
        const ReadResult r = ReadIco(c.file);
        EXPECT_FALSE(r.ok()) << c.name;
        EXPECT_NE(r.error.find(c.error), std::string::npos) << c.name << ": " << r.error;
    }
}

TEST(IcoTools, IconsOtherProgramsMakeOpenWithTheirPixels)
{
    struct Case {
        const char* name;
        std::string command; // makes out.ico from src.ppm (48 × 48)
        int width;
        int tolerance;
        bool png; // holds PNG images
    };
    const std::string pil = "/usr/bin/python3 -c \"from PIL import Image; Image.open('src.ppm')";
    const Case cases[] = {
        { "ImageMagick 16, 32, 48", "convert src.ppm -define icon:auto-resize=16,32,48 out.ico", 48, 0, false },
        { "ImageMagick 16 colours", "convert src.ppm -colors 16 -type palette out.ico", 48, 0, false },
        { "ImageMagick half alpha", "convert src.ppm -alpha set -channel A -evaluate set 50% out.ico", 48, 1, false },
        { "ImageMagick 256 (PNG)", "convert src.ppm -resize 256x256! out.ico", 256, 0, true },
        { "Pillow (PNG)", pil + ".save('out.ico', sizes=[(16, 16), (48, 48)])\"", 48, 0, true },
    };
    TempFolder folder;
    WritePpm(folder / "src.ppm", Fixture(48, 48, PixelFormat::Bits24));
    ASSERT_TRUE(RunCommand("convert '" + (folder / "src.ppm").string() + "' '" + (folder / "probe.png").string() + "'"));
    const bool pngReadable = ReadPng(ReadFile(folder / "probe.png")).ok();
    for (const Case& c : cases) {
        const auto out = folder / "out.ico";
        ASSERT_TRUE(RunCommand("cd '" + (folder / "").string() + "' && " + c.command)) << c.name;
        const std::vector<uint8_t> bytes = ReadFile(out);
        const ReadResult ours = ReadIco(bytes);
        if (c.png && !pngReadable) {
            // Icons made of PNG images open once PNG files do.
            EXPECT_FALSE(ours.ok()) << c.name;
            continue;
        }
        ASSERT_TRUE(ours.ok()) << c.name << ": " << ours.error;
        const Decoded reference = DecodeWithPillow(out);
        EXPECT_EQ(ours.picture.width(), c.width) << c.name;
        EXPECT_EQ(reference.width, c.width) << c.name;
        ExpectSamePixels(reference.pixels, PixelsOf(ours.picture), c.tolerance, c.name);
    }
}

} // namespace
} // namespace kaptivus::files::testing
