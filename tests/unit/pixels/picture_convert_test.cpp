// Conversions between formats, the raw bits each format stores, the nearest
// colour rule, and the buffer's load from and draw onto pictures.
#include "buffer_fixtures.h"
#include "pixels/Palettes.h"
#include "pixels/Picture.h"

#include <climits>
#include <cstdlib>
#include <gtest/gtest.h>

namespace kaptivus::pixels {
namespace {

using namespace testing;

const DeviceFormat kDevice565 { 16, 16, 0xF800, 0x07E0, 0x001F };
const DeviceFormat kDevice555 { 15, 16, 0x7C00, 0x03E0, 0x001F };
const DeviceFormat kDevicePacked24 { 24, 24, 0xFF0000, 0x00FF00, 0x0000FF };

Picture PictureOf(const TPixelBuffer& buffer, PixelFormat format, const DeviceFormat& device = {})
{
    Picture p = Picture::create(buffer.width(), buffer.height(), PixelFormat::DeviceDefault, device);
    buffer.DrawTo(p, 0, 0);
    p.convertTo(format);
    return p;
}

uint8_t Through(uint8_t v, int bits)
{
    const int max = (1 << bits) - 1;
    const int reduced = (v * max + 127) / 255;
    return bits == 5 ? uint8_t(reduced << 3 | reduced >> 2) : uint8_t(reduced << 2 | reduced >> 4);
}

bool InTable(const std::vector<Color>& table, PixelBGR p)
{
    for (Color c : table)
        if (ColorToPixel(c) == p) return true;
    return false;
}

TEST(PictureRoundTrip, TrueColourLayoutsAreExact)
{
    TPixelBuffer source, back;
    FillRandom(source, 7, 5, 21);
    const std::pair<PixelFormat, DeviceFormat> cases[] = { { PixelFormat::Bits24, {} }, { PixelFormat::Bits32, {} },
        { PixelFormat::DeviceDefault, {} }, { PixelFormat::DeviceDefault, kDevicePacked24 } };
    for (const auto& [format, device] : cases) {
        const Picture p = PictureOf(source, format, device);
        ASSERT_TRUE(back.LoadFromBitmap(p));
        EXPECT_EQ(Bytes(back), Bytes(source)) << int(format) << " bpp " << device.bitsPerPixel;
    }
}

TEST(PictureRoundTrip, FifteenAndSixteenBitsRoundEachChannel)
{
    TPixelBuffer source, back;
    FillRandom(source, 9, 6, 22);
    struct Case {
        PixelFormat format;
        DeviceFormat device;
        int greenBits;
    };
    for (const Case& c : { Case { PixelFormat::Bits15, {}, 5 }, Case { PixelFormat::Bits16, {}, 6 },
             Case { PixelFormat::DeviceDefault, kDevice565, 6 }, Case { PixelFormat::DeviceDefault, kDevice555, 5 } }) {
        Picture p = PictureOf(source, c.format, c.device);
        ASSERT_TRUE(back.LoadFromBitmap(p));
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 9; ++x) {
                const PixelBGR s = source.row(y)[x], b = back.row(y)[x];
                ASSERT_EQ(b.r, Through(s.r, 5));
                ASSERT_EQ(b.g, Through(s.g, c.greenBits));
                ASSERT_EQ(b.b, Through(s.b, 5));
                ASSERT_LE(std::abs(b.g - s.g), c.greenBits == 6 ? 2 : 4);
            }
        // A second trip through the same depth changes nothing more.
        TPixelBuffer again;
        again.LoadFromBitmap(PictureOf(back, c.format, c.device));
        EXPECT_EQ(Bytes(again), Bytes(back));
    }
}

TEST(PictureRoundTrip, IndexedFormatsHoldOnlyTableColoursAndKeepThemExactly)
{
    const std::pair<PixelFormat, const std::vector<Color>*> cases[] = { { PixelFormat::Bits1, &MonochromePalette() },
        { PixelFormat::Bits4, &StandardPalette16() }, { PixelFormat::Bits8, &HalftonePalette256() } };
    for (const auto& [format, table] : cases) {
        TPixelBuffer source, back;
        FillRandom(source, 11, 5, 23);
        ASSERT_TRUE(back.LoadFromBitmap(PictureOf(source, format)));
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 11; ++x)
                ASSERT_TRUE(InTable(*table, back.row(y)[x])) << int(format);

        // Every table colour survives exactly, in a row of odd width.
        source.Allocate(int(table->size()), 1);
        for (size_t i = 0; i < table->size(); ++i)
            source.row(0)[i] = ColorToPixel((*table)[i]);
        ASSERT_TRUE(back.LoadFromBitmap(PictureOf(source, format)));
        EXPECT_EQ(Bytes(back), Bytes(source)) << int(format);
    }
}

TEST(PictureRoundTrip, TheAsymmetricFKeepsItsShapeAndColours)
{
    TPixelBuffer f, back;
    FillF(f);
    for (int i = 0; i <= 7; ++i) {
        ASSERT_TRUE(back.LoadFromBitmap(PictureOf(f, PixelFormatForIndex(i))));
        if (i == 1) continue; // black and white: red and blue both turn black
        EXPECT_EQ(Bytes(back), Bytes(f)) << i; // pure red and blue are in every table
    }
}

// 1 × 1, 1 × n, n × 1 and widths that end mid-byte in every format: what
// comes back is what the format can hold, pixel for pixel.
TEST(PictureRoundTrip, AwkwardSizesInEveryFormat)
{
    const std::pair<int, int> sizes[] = { { 1, 1 }, { 1, 6 }, { 6, 1 }, { 3, 3 }, { 9, 2 }, { 17, 1 } };
    for (auto [w, h] : sizes)
        for (int i = 0; i <= 7; ++i) {
            TPixelBuffer source, back;
            FillRandom(source, w, h, uint32_t(w * 100 + h * 10 + i));
            const Picture p = PictureOf(source, PixelFormatForIndex(i));
            ASSERT_EQ(p.width(), w);
            ASSERT_EQ(p.height(), h);
            ASSERT_TRUE(back.LoadFromBitmap(p));
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    const PixelBGR s = source.row(y)[x], b = back.row(y)[x];
                    PixelBGR expected = s;
                    if (i == 1) expected = ColorToPixel(MonochromePalette()[NearestIndex(MonochromePalette(), s)]);
                    if (i == 2) expected = ColorToPixel(StandardPalette16()[NearestIndex(StandardPalette16(), s)]);
                    if (i == 3) expected = ColorToPixel(HalftonePalette256()[NearestIndex(HalftonePalette256(), s)]);
                    if (i == 4) expected = PixelBGR { Through(s.b, 5), Through(s.g, 5), Through(s.r, 5) };
                    if (i == 5) expected = PixelBGR { Through(s.b, 5), Through(s.g, 6), Through(s.r, 5) };
                    ASSERT_EQ(b, expected) << w << "x" << h << " format index " << i << " at " << x << "," << y;
                }
        }
}

TEST(PictureRawBits, EachFormatStoresTheExpectedBits)
{
    TPixelBuffer red;
    red.Allocate(3, 1);
    red.row(0)[0] = kRed;
    red.row(0)[1] = kWhite;
    red.row(0)[2] = kBlue;
    // 1 bit: the leftmost pixel in the highest bit; red is nearer black.
    EXPECT_EQ(PictureOf(red, PixelFormat::Bits1).bits()[0], 0b01000000);
    // 4 bits: high nibble first; red is 9, white 15, blue 12.
    const Picture p4 = PictureOf(red, PixelFormat::Bits4);
    EXPECT_EQ(p4.bits()[0], 0x9F);
    EXPECT_EQ(p4.bits()[1], 0xC0);
    EXPECT_EQ(PictureOf(red, PixelFormat::Bits8).bits()[0], 249);
    const Picture p15 = PictureOf(red, PixelFormat::Bits15);
    EXPECT_EQ(p15.bits()[0] | p15.bits()[1] << 8, 0x7C00);
    EXPECT_EQ(p15.bits()[2] | p15.bits()[3] << 8, 0x7FFF);
    const Picture p16 = PictureOf(red, PixelFormat::Bits16);
    EXPECT_EQ(p16.bits()[0] | p16.bits()[1] << 8, 0xF800);
    EXPECT_EQ(p16.bits()[4] | p16.bits()[5] << 8, 0x001F);
    const Picture p32 = PictureOf(red, PixelFormat::Bits32);
    EXPECT_EQ(
        std::vector<uint8_t>(p32.bits().begin(), p32.bits().begin() + 4), (std::vector<uint8_t> { 0, 0, 255, 0 }));
    const Picture p24 = PictureOf(red, PixelFormat::Bits24);
    EXPECT_EQ(std::vector<uint8_t>(p24.bits().begin(), p24.bits().begin() + 3), (std::vector<uint8_t> { 0, 0, 255 }));
}

TEST(PictureNearest, MonochromeSplitsAtHalfTheBrightnessSum)
{
    // Least squared distance to black or white: white from r + g + b = 383 on.
    Picture p = Picture::create(2, 1, PixelFormat::Bits1);
    p.setPixel(0, 0, PixelBGR { 127, 128, 127 });
    p.setPixel(1, 0, PixelBGR { 128, 128, 127 });
    EXPECT_EQ(p.pixel(0, 0), kBlack);
    EXPECT_EQ(p.pixel(1, 0), kWhite);
}

TEST(PictureNearest, FastMapAgreesWithAPlainScan)
{
    for (const auto* table : { &MonochromePalette(), &StandardPalette16(), &HalftonePalette256() }) {
        const NearestColorMap map(*table);
        for (int r = 0; r < 256; r += 5)
            for (int g = 0; g < 256; g += 3)
                for (int b = 0; b < 256; b += 7) {
                    const PixelBGR p { uint8_t(b), uint8_t(g), uint8_t(r) };
                    ASSERT_EQ(map.indexOf(p), NearestIndex(*table, p)) << r << "," << g << "," << b;
                }
    }
}

TEST(PictureNearest, TiesGoToTheLowestIndex)
{
    const std::vector<Color> table { 0x0000FF, 0x000000, 0x0000FF, 0xFFFFFF };
    EXPECT_EQ(NearestIndex(table, kRed), 0);
    EXPECT_EQ(NearestColorMap(table).indexOf(kRed), 0);
    const std::vector<Color> symmetric { 0x000010, 0x000030 };
    EXPECT_EQ(NearestColorMap(symmetric).indexOf(PixelBGR { 0, 0, 0x20 }), 0);
    EXPECT_EQ(NearestColorMap({}).indexOf(kRed), 0);
}

TEST(PictureNearest, ConversionToAnOwnTableUsesThatTable)
{
    // An 8-bit picture with its own table (a decoded file) keeps drawing into it.
    Picture p = Picture::create(2, 1, PixelFormat::Bits8);
    p.setPalette({ 0x000000, 0x00FF00, 0xFFFFFF });
    TPixelBuffer source;
    source.Allocate(2, 1);
    source.row(0)[0] = PixelBGR { 10, 240, 5 };
    source.row(0)[1] = PixelBGR { 250, 250, 250 };
    source.DrawTo(p, 0, 0);
    EXPECT_EQ(p.bits()[0], 1);
    EXPECT_EQ(p.bits()[1], 2);
}

TEST(PictureAccess, PixelAndSetPixelInEveryFormat)
{
    for (int i = 0; i <= 7; ++i) {
        Picture p = Picture::create(9, 3, PixelFormatForIndex(i));
        p.setPixel(8, 2, kWhite);
        p.setPixel(0, 0, kBlue);
        p.setPixel(-1, 0, kWhite); // outside: ignored
        p.setPixel(9, 0, kWhite);
        EXPECT_EQ(p.pixel(8, 2), kWhite) << i;
        EXPECT_EQ(p.pixel(0, 0), i == 1 ? kBlack : kBlue) << i;
        EXPECT_EQ(p.pixel(7, 2), kBlack) << i << ": neighbours untouched";
        EXPECT_EQ(p.pixel(1, 0), kBlack) << i;
        EXPECT_EQ(p.pixel(9, 0), kBlack) << i << ": outside reads black";
        EXPECT_EQ(p.pixel(0, INT_MIN), kBlack) << i;
    }
}

TEST(PictureConvert, SameFormatAndCustomChangeNothing)
{
    TPixelBuffer source;
    FillRandom(source, 4, 4, 30);
    Picture p = PictureOf(source, PixelFormat::Bits8);
    p.setPalette({ 0xFFFFFF });
    const std::vector<uint8_t> before = p.bits();
    p.convertTo(PixelFormat::Bits8);
    EXPECT_EQ(p.bits(), before);
    EXPECT_EQ(p.palette().size(), 1u);
    p.convertTo(PixelFormat::Custom);
    EXPECT_EQ(p.format(), PixelFormat::Bits8);
}

TEST(BufferLoadDraw, LoadTakesSizeAndEmptyPicturesGiveEmptyBuffers)
{
    TPixelBuffer buffer;
    FillF(buffer);
    ASSERT_TRUE(buffer.LoadFromBitmap(Picture()));
    EXPECT_TRUE(buffer.isEmpty());
    ASSERT_TRUE(buffer.LoadFromBitmap(Picture::create(1, 1, PixelFormat::Bits4)));
    EXPECT_EQ(buffer.width(), 1);
    EXPECT_EQ(buffer.row(0)[0], kBlack);
}

TEST(BufferLoadDraw, DrawIsClippedToThePicture)
{
    TPixelBuffer f;
    FillF(f);
    struct Case {
        int x, y;
    };
    for (const Case c : { Case { 0, 0 }, Case { -2, -1 }, Case { 3, 2 }, Case { -6, 0 }, Case { 6, 5 },
             Case { INT_MAX, INT_MAX }, Case { INT_MIN, INT_MIN }, Case { -5, -4 } }) {
        Picture p = Picture::create(7, 5, PixelFormat::Bits24);
        f.DrawTo(p, c.x, c.y);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 7; ++x) {
                const int64_t sx = int64_t(x) - c.x, sy = int64_t(y) - c.y;
                const bool inside = sx >= 0 && sy >= 0 && sx < 6 && sy < 5;
                ASSERT_EQ(p.pixel(x, y), inside ? f.row(int(sy))[sx] : kBlack)
                    << c.x << "," << c.y << " at " << x << "," << y;
            }
    }
    TPixelBuffer empty;
    Picture p = Picture::create(2, 2, PixelFormat::Bits24);
    empty.DrawTo(p, 0, 0);
    Picture none;
    f.DrawTo(none, 0, 0);
    EXPECT_EQ(p.pixel(0, 0), kBlack);
}

TEST(BufferLoadDraw, DrawOntoSubByteFormatsKeepsNeighbours)
{
    // 1 and 4 bits pack several pixels a byte: a draw starting or ending
    // inside a byte must leave the byte's other pixels alone, short runs
    // and runs spanning whole bytes alike.
    struct Case {
        int x, width;
    };
    for (PixelFormat format : { PixelFormat::Bits1, PixelFormat::Bits4 })
        for (const Case c : { Case { 3, 3 }, Case { 5, 20 }, Case { 8, 16 }, Case { 1, 38 } }) {
            Picture p = Picture::create(40, 2, format);
            for (int x = 0; x < 40; ++x)
                p.setPixel(x, 0, kWhite);
            TPixelBuffer run;
            run.Allocate(c.width, 1); // black
            run.DrawTo(p, c.x, 0);
            for (int x = 0; x < 40; ++x)
                ASSERT_EQ(p.pixel(x, 0), (x >= c.x && x < c.x + c.width) ? kBlack : kWhite)
                    << int(format) << ": " << c.x << "+" << c.width << " at " << x;
        }
}

} // namespace
} // namespace kaptivus::pixels
