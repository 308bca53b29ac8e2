// The GIF reader: files made by other programs, the image's place on the
// logical screen, transparency, and damaged or oversized files.
#include "files/GifImage.h"
#include "files/GifLzw.h"
#include "files/GifPicture.h"
#include "gif_support.h"

#include <gtest/gtest.h>

namespace kaptivus::files {
namespace {

using pixels::Color;
using test::Rgb;

TEST(GifRead, FilesOfOtherProgramsOpenWithTheirPixels)
{
    // A 7 × 5 picture of five colours in an asymmetric pattern, as a PPM.
    const Color five[] = { Rgb(255, 0, 0), Rgb(0, 0, 255), Rgb(10, 200, 30), Rgb(250, 250, 250), Rgb(40, 0, 90) };
    std::vector<Color> colours;
    std::string ppm = "P6\n7 5\n255\n";
    for (int i = 0; i < 35; ++i) {
        colours.push_back(five[(i * i + i / 7) % 5]);
        for (int shift : { 0, 8, 16 })
            ppm.push_back(char((colours.back() >> shift) & 0xFF));
    }
    const testsupport::TempFolder folder;
    testsupport::WriteFile(folder / "source.ppm", std::vector<uint8_t>(ppm.begin(), ppm.end()));
    const std::string source = folder.str("source.ppm") + " ", gif = folder.str("other.gif");
    const std::string pillow = "/usr/bin/python3 -c \"import sys; from PIL import Image; "
                               "Image.open(sys.argv[1]).quantize(8).save(sys.argv[2], interlace=";
    const std::string makers[] = {
        "convert " + source + gif,
        "convert " + source + "-interlace GIF " + gif,
        pillow + "0)\" " + source + gif,
        pillow + "1)\" " + source + gif,
    };
    for (const std::string& maker : makers) {
        SCOPED_TRACE(maker);
        ASSERT_TRUE(testsupport::RunCommand(maker));
        const ReadResult read = ReadGif(testsupport::ReadFile(gif));
        ASSERT_TRUE(read.ok()) << read.error;
        EXPECT_EQ(read.picture.format(), pixels::PixelFormat::Bits8);
        EXPECT_EQ(test::PixelColours(read.picture), colours);
    }
}

// A file written field by field: screen 6 × 5 with a global table, one image
// of 3 × 2 at (2, 1), optionally with a local table (whose entries 1 and 3 are
// alike) and a transparent index.
std::vector<uint8_t> PlacedImage(bool localTable, int transparentIndex)
{
    std::vector<uint8_t> f { 'G', 'I', 'F', '8', '9', 'a', 6, 0, 5, 0, 0x81, 0, 0 };
    const uint8_t global[] = { 1, 1, 1, 200, 0, 0, 0, 200, 0, 0, 0, 200 };
    f.insert(f.end(), std::begin(global), std::end(global));
    if (transparentIndex >= 0) {
        const uint8_t control[] = { 0x21, 0xF9, 4, 1, 0, 0, uint8_t(transparentIndex), 0 };
        f.insert(f.end(), std::begin(control), std::end(control));
    }
    const uint8_t descriptor[] = { 0x2C, 2, 0, 1, 0, 3, 0, 2, 0, uint8_t(localTable ? 0x81 : 0) };
    f.insert(f.end(), std::begin(descriptor), std::end(descriptor));
    if (localTable) {
        const uint8_t local[] = { 9, 9, 9, 0, 99, 99, 99, 0, 99, 0, 99, 99 };
        f.insert(f.end(), std::begin(local), std::end(local));
    }
    const uint8_t indices[] = { 1, 2, 3, 3, 2, 1 };
    AppendGifLzw(indices, 2, f);
    f.push_back(0x3B);
    return f;
}

TEST(GifRead, TheFirstImageSitsAtItsPlaceOnTheScreenWithItsOwnTable)
{
    const Color r = Rgb(200, 0, 0), g = Rgb(0, 200, 0), b = Rgb(0, 0, 200), k = Rgb(1, 1, 1);
    const Color lr = Rgb(0, 99, 99), lg = Rgb(99, 0, 99), lb = lr, lk = Rgb(9, 9, 9);
    // The 6 × 5 screen in the background colour with the 3 × 2 image at (2, 1).
    const auto screen = [](Color back, std::vector<Color> image) {
        std::vector<Color> out(30, back);
        for (size_t i = 0; i < 6; ++i)
            out[(1 + i / 3) * 6 + 2 + i % 3] = image[i];
        return out;
    };
    const struct {
        const char* name;
        bool local;
        int transparentIndex;
        std::vector<Color> expected;
        bool marked;
    } cases[] = {
        { "global table", false, -1, screen(k, { r, g, b, b, g, r }), false },
        { "local table", true, -1, screen(lk, { lr, lg, lb, lb, lg, lr }), false },
        // The uncovered screen shows the transparent colour.
        { "transparent", false, 3, screen(b, { r, g, b, b, g, r }), true },
        // Its colour also stands for another entry: not marked.
        { "ambiguous transparent colour", true, 1, {}, false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ReadResult read = ReadGif(PlacedImage(c.local, c.transparentIndex));
        ASSERT_TRUE(read.ok()) << read.error;
        EXPECT_EQ(read.picture.width(), 6);
        EXPECT_EQ(read.picture.height(), 5);
        if (!c.expected.empty()) {
            EXPECT_EQ(test::PixelColours(read.picture), c.expected);
        }
        EXPECT_EQ(read.picture.transparent(), c.marked);
        if (c.marked) {
            EXPECT_EQ(read.picture.transparentColor(), b);
        }
    }
}

TEST(GifRead, DamagedAndOversizedFilesGiveAClearError)
{
    const std::vector<uint8_t> good = PlacedImage(true, 2);
    ASSERT_TRUE(ReadGif(good).ok());
    const auto cut = [&](size_t n) { return std::vector<uint8_t>(good.begin(), good.begin() + long(n)); };
    std::vector<uint8_t> version = good;
    version[4] = '8';
    std::vector<uint8_t> noImage(good.begin(), good.begin() + 25);
    noImage.push_back(0x3B);
    std::vector<uint8_t> hugeScreen = good;
    hugeScreen[6] = hugeScreen[7] = hugeScreen[8] = hugeScreen[9] = 0xFF;
    std::vector<uint8_t> hugeImage = good;
    hugeImage[33 + 5] = hugeImage[33 + 6] = 0xFF;
    ReadLimits small;
    small.maxPixels = 1000;
    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
        ReadLimits limits;
    } cases[] = {
        { "empty", {}, {} },
        { "not a GIF", { 'P', 'N', 'G', 1, 2, 3, 4, 5, 6, 7, 8, 9, 10 }, {} },
        { "unknown version", version, {} },
        { "cut in the screen descriptor", cut(9), {} },
        { "cut in the global table", cut(18), {} },
        { "cut in the image data", cut(good.size() - 5), {} },
        { "no image", noImage, {} },
        { "screen beyond the limits", hugeScreen, small },
        { "image beyond the limits", hugeImage, small },
        { "file beyond the limits", good, ReadLimits { 10, 1000, 100 } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ReadResult read = ReadGif(c.bytes, c.limits);
        EXPECT_FALSE(read.ok());
        EXPECT_FALSE(read.error.empty());
        EXPECT_TRUE(read.picture.isEmpty());
    }
    EXPECT_EQ(ReadGif(version).error, kGifUnknownVersion);
}

} // namespace
} // namespace kaptivus::files
