// The picture type: layouts of each format, adoption of foreign rows, bit
// counts, ComboBox1's indexes and the recognition of bitmap headers.
#include "pixels/Palettes.h"
#include "pixels/Picture.h"

#include <climits>
#include <string>
#include <utility>
#include <gtest/gtest.h>
#include <set>

namespace kaptivus::pixels {
namespace {

const DeviceFormat kDevice565 { 16, 16, 0xF800, 0x07E0, 0x001F };
const DeviceFormat kDevice555 { 15, 16, 0x7C00, 0x03E0, 0x001F };

TEST(PictureCreate, LayoutOfEachFormat)
{
    struct Case {
        PixelFormat format;
        int storageBits, stride, paletteSize;
    };
    // Width 5: 1 bit -> 1 byte, 4 bits -> 3, 8 -> 5, 16 -> 10, 24 -> 15, 32 -> 20; padded to 4.
    for (const Case c : { Case { PixelFormat::Bits1, 1, 4, 2 }, Case { PixelFormat::Bits4, 4, 4, 16 },
             Case { PixelFormat::Bits8, 8, 8, 256 }, Case { PixelFormat::Bits15, 16, 12, 0 },
             Case { PixelFormat::Bits16, 16, 12, 0 }, Case { PixelFormat::Bits24, 24, 16, 0 },
             Case { PixelFormat::Bits32, 32, 20, 0 }, Case { PixelFormat::DeviceDefault, 32, 20, 0 } }) {
        const Picture p = Picture::create(5, 3, c.format);
        EXPECT_EQ(p.width(), 5);
        EXPECT_EQ(p.height(), 3);
        EXPECT_EQ(p.format(), c.format);
        EXPECT_EQ(p.storageBits(), c.storageBits) << int(c.format);
        EXPECT_EQ(p.stride(), c.stride) << int(c.format);
        EXPECT_EQ(int(p.palette().size()), c.paletteSize) << int(c.format);
        EXPECT_GE(p.bits().size(), size_t(c.stride) * 3);
        EXPECT_EQ(p.pixel(4, 2), (PixelBGR { 0, 0, 0 })) << "a new picture is black";
    }
}

TEST(PictureCreate, MasksInEffect)
{
    const Picture p16 = Picture::create(1, 1, PixelFormat::Bits16);
    EXPECT_EQ(p16.redMask(), 0xF800u);
    EXPECT_EQ(p16.greenMask(), 0x07E0u);
    EXPECT_EQ(p16.blueMask(), 0x001Fu);
    const Picture p15 = Picture::create(1, 1, PixelFormat::Bits15);
    EXPECT_EQ(p15.redMask(), 0x7C00u);
    const Picture device = Picture::create(3, 1, PixelFormat::DeviceDefault, kDevice565);
    EXPECT_EQ(device.storageBits(), 16);
    EXPECT_EQ(device.stride(), 8);
    EXPECT_EQ(device.device(), kDevice565);
}

TEST(PictureCreate, PalettesOfTheIndexedFormats)
{
    const Picture mono = Picture::create(1, 1, PixelFormat::Bits1);
    EXPECT_EQ(mono.palette(), (std::vector<Color> { 0x000000, 0xFFFFFF }));
    const Picture four = Picture::create(1, 1, PixelFormat::Bits4);
    const std::vector<Color>& p16 = four.palette();
    EXPECT_EQ(p16[0], 0x000000u);
    EXPECT_EQ(p16[1], 0x000080u); // maroon: red in the low byte
    EXPECT_EQ(p16[7], 0x808080u);
    EXPECT_EQ(p16[8], 0xC0C0C0u);
    EXPECT_EQ(p16[12], 0xFF0000u); // blue
    EXPECT_EQ(p16[15], 0xFFFFFFu);
    const Picture eight = Picture::create(1, 1, PixelFormat::Bits8);
    const std::vector<Color>& half = eight.palette();
    EXPECT_EQ(half[0], 0x000000u);
    EXPECT_EQ(half[255], 0xFFFFFFu);
    EXPECT_EQ(half[9], 0xF0CAA6u);
    EXPECT_EQ(half[10], 0x002040u); // the cube: red 0x40, green 0x20, blue 0
    EXPECT_EQ(half[245], 0xC0C0A0u);
    EXPECT_EQ(half[249], 0x0000FFu);
    EXPECT_EQ(half[164], 0x808080u); // the cube repeats a few static colours
    EXPECT_EQ(std::set<Color>(half.begin(), half.end()).size(), 250u);
}

TEST(PictureCreate, UnusableSizesAndLayoutsGiveEmptyPictures)
{
    EXPECT_TRUE(Picture::create(0, 5, PixelFormat::Bits24).isEmpty());
    EXPECT_TRUE(Picture::create(5, -1, PixelFormat::Bits24).isEmpty());
    EXPECT_TRUE(Picture::create(INT_MAX, INT_MAX, PixelFormat::Bits32).isEmpty());
    EXPECT_TRUE(Picture::create(70000, 70000, PixelFormat::Bits24).isEmpty());
    EXPECT_TRUE(Picture::create(4, 4, PixelFormat::Custom).isEmpty());
    EXPECT_TRUE(Picture::create(4, 4, PixelFormat::DeviceDefault, DeviceFormat { 8, 8, 0, 0, 0 }).isEmpty());
    EXPECT_TRUE(
        Picture::create(4, 4, PixelFormat::DeviceDefault, DeviceFormat { 24, 32, 0xFF, 0xFF, 0xFF00 }).isEmpty());
    EXPECT_EQ(Picture::create(0, 0, PixelFormat::Bits8).format(), PixelFormat::Bits8);
}

TEST(PictureAdopt, TakesConsistentRows)
{
    std::vector<uint8_t> bits { 10, 20, 30, 0, 40, 50, 60, 0, // row 0
        70, 80, 90, 0, 1, 2, 3, 0 }; // row 1
    const Picture p = Picture::adopt(2, 2, PixelFormat::DeviceDefault, {}, std::move(bits), 8);
    ASSERT_EQ(p.height(), 2);
    EXPECT_EQ(p.pixel(1, 0), (PixelBGR { 40, 50, 60 }));
    EXPECT_EQ(p.pixel(0, 1), (PixelBGR { 70, 80, 90 }));
}

TEST(PictureAdopt, InconsistentDataNeverReadsOutOfBounds)
{
    // Too short for the third row: only complete rows are kept.
    Picture p = Picture::adopt(2, 3, PixelFormat::Bits24, {}, std::vector<uint8_t>(8 + 6, 7), 8);
    EXPECT_EQ(p.height(), 2);
    EXPECT_GE(p.bits().size(), size_t(p.stride()) * 2);
    EXPECT_EQ(p.pixel(1, 1), (PixelBGR { 7, 7, 7 }));
    // A stride shorter than a row, no data, bad sizes.
    EXPECT_TRUE(Picture::adopt(4, 2, PixelFormat::Bits24, {}, std::vector<uint8_t>(100), 8).isEmpty());
    EXPECT_TRUE(Picture::adopt(4, 2, PixelFormat::Bits24, {}, {}, 12).isEmpty());
    EXPECT_TRUE(Picture::adopt(4, 2, PixelFormat::Bits24, {}, std::vector<uint8_t>(100), 0).isEmpty());
    EXPECT_TRUE(Picture::adopt(-4, 2, PixelFormat::Bits24, {}, std::vector<uint8_t>(100), 12).isEmpty());
    EXPECT_TRUE(Picture::adopt(INT_MAX, 2, PixelFormat::Bits24, {}, std::vector<uint8_t>(100), INT_MAX).isEmpty());
    EXPECT_TRUE(Picture::adopt(2, 2, PixelFormat::Custom, {}, std::vector<uint8_t>(100), 8, 12).isEmpty());
}

TEST(PictureAdopt, UnalignedStrideIsRepacked)
{
    // 24 bits, width 1, rows of 3 bytes back to back.
    const Picture p = Picture::adopt(1, 3, PixelFormat::Bits24, {}, { 1, 2, 3, 4, 5, 6, 7, 8, 9 }, 3);
    ASSERT_EQ(p.height(), 3);
    EXPECT_EQ(p.stride(), 4);
    EXPECT_EQ(p.pixel(0, 2), (PixelBGR { 7, 8, 9 }));
}

TEST(PictureAdopt, CustomLayouts)
{
    // 16 bits with masks for blue in the high bits: 0x001F red, 0x07E0 green, 0xF800 blue.
    Picture bgr565 = Picture::adopt(1, 1, PixelFormat::Custom, {}, { 0x00, 0xF8, 0, 0 }, 4, 16, 0x001F, 0x07E0, 0xF800);
    ASSERT_FALSE(bgr565.isEmpty());
    EXPECT_EQ(bgr565.pixel(0, 0), (PixelBGR { 255, 0, 0 }));
    // 2 bits per pixel with a table set afterwards.
    Picture two = Picture::adopt(4, 1, PixelFormat::Custom, {}, { 0b00011011, 0, 0, 0 }, 4, 2);
    two.setPalette({ 0x000000, 0x0000FF, 0x00FF00, 0xFF0000 });
    EXPECT_EQ(two.pixel(0, 0), (PixelBGR { 0, 0, 0 }));
    EXPECT_EQ(two.pixel(1, 0), (PixelBGR { 0, 0, 255 }));
    EXPECT_EQ(two.pixel(3, 0), (PixelBGR { 255, 0, 0 }));
    // An index beyond a short table reads as black instead of beyond the table.
    two.setPalette({ 0xFFFFFF });
    EXPECT_EQ(two.pixel(3, 0), (PixelBGR { 0, 0, 0 }));
    EXPECT_EQ(two.pixel(0, 0), (PixelBGR { 255, 255, 255 }));
}

TEST(PictureBits, BitsPerPixelOfEachFormat)
{
    EXPECT_EQ(PixelFormatBits(Picture::create(2, 2, PixelFormat::Bits1)), 1);
    EXPECT_EQ(PixelFormatBits(Picture::create(2, 2, PixelFormat::Bits4)), 4);
    EXPECT_EQ(PixelFormatBits(Picture::create(2, 2, PixelFormat::Bits8)), 8);
    EXPECT_EQ(PixelFormatBits(Picture::create(2, 2, PixelFormat::Bits15)), 15);
    EXPECT_EQ(PixelFormatBits(Picture::create(2, 2, PixelFormat::Bits16)), 16);
    EXPECT_EQ(PixelFormatBits(Picture::create(2, 2, PixelFormat::Bits24)), 24);
    EXPECT_EQ(PixelFormatBits(Picture::create(2, 2, PixelFormat::Bits32)), 32);
    EXPECT_EQ(PixelFormatBits(Picture::create(2, 2, PixelFormat::DeviceDefault)), 32);
    EXPECT_EQ(PixelFormatBits(Picture::create(2, 2, PixelFormat::DeviceDefault, kDevice565)), 16);
    EXPECT_EQ(PixelFormatBits(Picture::create(2, 2, PixelFormat::DeviceDefault, kDevice555)), 16);
    const Picture custom
        = Picture::adopt(1, 1, PixelFormat::Custom, kDevice565, { 0, 0, 0, 0 }, 4, 32, 0xFF, 0xFF00, 0xFF0000);
    EXPECT_EQ(PixelFormatBits(custom), 16);
}

TEST(PictureBits, ComboBoxIndexes)
{
    const PixelFormat expected[] = { PixelFormat::DeviceDefault, PixelFormat::Bits1, PixelFormat::Bits4,
        PixelFormat::Bits8, PixelFormat::Bits15, PixelFormat::Bits16, PixelFormat::Bits24, PixelFormat::Bits32 };
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(PixelFormatForIndex(i), expected[i]) << i;
    EXPECT_EQ(PixelFormatForIndex(-1), PixelFormat::DeviceDefault);
    EXPECT_EQ(PixelFormatForIndex(8), PixelFormat::DeviceDefault);
}

TEST(PictureBits, RecognisingHeaders)
{
    EXPECT_EQ(RecognisePixelFormat(1, 0, 0, 0), PixelFormat::Bits1);
    EXPECT_EQ(RecognisePixelFormat(4, 0, 0, 0), PixelFormat::Bits4);
    EXPECT_EQ(RecognisePixelFormat(8, 0, 0, 0), PixelFormat::Bits8);
    EXPECT_EQ(RecognisePixelFormat(16, 0, 0, 0), PixelFormat::Bits15);
    EXPECT_EQ(RecognisePixelFormat(16, 0xF800, 0x07E0, 0x001F), PixelFormat::Bits16);
    EXPECT_EQ(RecognisePixelFormat(16, 0x7C00, 0x03E0, 0x001F), PixelFormat::Custom);
    EXPECT_EQ(RecognisePixelFormat(24, 0, 0, 0), PixelFormat::Bits24);
    EXPECT_EQ(RecognisePixelFormat(32, 0, 0, 0), PixelFormat::Bits32);
    EXPECT_EQ(RecognisePixelFormat(32, 0xFF0000, 0xFF00, 0xFF), PixelFormat::Custom);
    for (int odd : { 0, 2, 3, 12, 48, 64, -8 })
        EXPECT_EQ(RecognisePixelFormat(odd, 0, 0, 0), PixelFormat::Custom) << odd;
}

TEST(PictureTransparency, KeptThroughCopiesAndConversions)
{
    Picture p = Picture::create(3, 2, PixelFormat::DeviceDefault);
    p.setTransparent(true, 0x00123456);
    Picture copy = p;
    EXPECT_TRUE(copy.transparent());
    for (int i = 1; i <= 7; ++i) {
        copy.convertTo(PixelFormatForIndex(i));
        EXPECT_TRUE(copy.transparent()) << i;
        EXPECT_EQ(copy.transparentColor(), 0x00123456u) << i;
    }
    Picture empty;
    empty.setTransparent(true, 5);
    empty.convertTo(PixelFormat::Bits8);
    EXPECT_TRUE(empty.transparent());
    EXPECT_EQ(empty.format(), PixelFormat::Bits8);
}

// A window that showed a picture of 134 million pixels and then a small one
// kept the large one's 512 MiB for good: a copy assigned over a picture must
// take buffers of the copy's size, and a self-assignment keeps the picture.
TEST(PictureCopy, AssigningASmallPictureOverALargeOneFreesItsMemory)
{
    const Picture small = Picture::create(8, 6, PixelFormat::Bits8);
    for (const PixelFormat format : { PixelFormat::Bits24, PixelFormat::Bits8 }) {
        Picture shown = Picture::create(3000, 2000, format);
        ASSERT_FALSE(shown.isEmpty());
        shown = small;
        EXPECT_EQ(shown.bits(), small.bits());
        EXPECT_EQ(shown.palette(), small.palette());
        EXPECT_LE(shown.bits().capacity(), small.bits().size());
        EXPECT_LE(shown.palette().capacity(), small.palette().size());
    }
    Picture same = small;
    const Picture& alias = same;
    same = alias;
    EXPECT_EQ(same.bits(), small.bits());
    EXPECT_EQ(same.width(), 8);
}

// A copy reads the original's rows until either is written; a write, in
// whichever way, reaches only the picture written.
TEST(PictureCopy, CopiesShareRowsUntilOneIsWritten)
{
    struct Case {
        const char* name;
        void (*write)(Picture&);
    };
    const Case cases[] = {
        {"a row written", [](Picture& p) { p.scanLine(1)[0] = 0x42; }},
        {"a pixel set", [](Picture& p) { p.setPixel(2, 1, PixelBGR{1, 2, 3}); }},
        {"converted", [](Picture& p) { p.convertTo(PixelFormat::Bits8); }},
    };
    for (const Case& c : cases) {
        for (const bool writeTheCopy : {true, false}) {
            SCOPED_TRACE(std::string(c.name) + (writeTheCopy ? " in the copy" : " in the original"));
            Picture original = Picture::create(5, 3, PixelFormat::Bits24);
            original.setPixel(0, 0, PixelBGR{9, 8, 7});
            Picture copy = original;
            EXPECT_TRUE(copy.sharesRowsWith(original));
            EXPECT_EQ(std::as_const(copy).scanLine(0), std::as_const(original).scanLine(0));
            const std::vector<uint8_t> before = original.bits();
            Picture& written = writeTheCopy ? copy : original;
            const Picture& other = writeTheCopy ? original : copy;
            c.write(written);
            EXPECT_FALSE(copy.sharesRowsWith(original));
            EXPECT_TRUE(other.bits() == before);
            EXPECT_EQ(other.format(), PixelFormat::Bits24);
            EXPECT_FALSE(written.bits() == before);
        }
    }
    EXPECT_FALSE(Picture().sharesRowsWith(Picture()));
    EXPECT_TRUE(Picture().bits().empty());
}

} // namespace
} // namespace kaptivus::pixels
