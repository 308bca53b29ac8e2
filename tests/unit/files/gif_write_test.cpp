// The GIF writer: palette layout, colour reduction, transparency and the
// choices of version and tables, read back by the codec's own reader, by a
// plain parse of the bytes, and by Pillow.
#include "files/GifImage.h"
#include "files/GifOctree.h"
#include "files/GifPicture.h"
#include "gif_support.h"
#include "pixels/Palettes.h"

#include <gtest/gtest.h>
#include <random>

namespace kaptivus::files {
namespace {

using pixels::Color;
using pixels::Picture;
using pixels::PixelFormat;
using test::Rgb;

std::vector<uint8_t> Save(Picture& picture)
{
    MemorySink sink;
    const CodecStatus status = WriteGif(picture, sink);
    EXPECT_TRUE(status.ok()) << status.error;
    return sink.bytes;
}

// Distinct colours, none of them a static colour and no grey ramp.
std::vector<Color> DistinctColours(size_t count, uint32_t seed)
{
    std::mt19937 random(seed);
    std::vector<Color> out;
    while (out.size() < count) {
        const Color c = random() & 0xFFFFFF;
        const auto& system = pixels::HalftonePalette256();
        if (std::find(out.begin(), out.end(), c) == out.end()
            && std::find(system.begin(), system.end(), c) == system.end())
            out.push_back(c);
    }
    return out;
}

TEST(GifWrite, FewerThan237ColoursAreReproducedExactly)
{
    struct Case {
        const char* name;
        std::vector<Color> colours;
    };
    const Case cases[] = {
        { "236 random colours", DistinctColours(236, 7) },
        // Regressions: the pre-filled 15-bit cells gave (7,0,0) the static
        // black of its cell, and pure white the near-white leaf that precedes it.
        { "dark red beside black", { Rgb(7, 0, 0), Rgb(0, 0, 0), Rgb(0, 0, 6) } },
        { "white beside near-white", { Rgb(250, 250, 250), Rgb(255, 255, 255), Rgb(252, 255, 249) } },
        { "static colours", { Rgb(0xC0, 0xDC, 0xC0), Rgb(0xFF, 0xFB, 0xF0), Rgb(0xA0, 0xA0, 0xA4), Rgb(1, 2, 3) } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Picture picture = test::TrueColourPicture(31, 17, c.colours);
        const std::vector<Color> expected = test::PixelColours(picture);
        const ReadResult back = ReadGif(Save(picture));
        ASSERT_TRUE(back.ok()) << back.error;
        EXPECT_EQ(test::PixelColours(back.picture), expected);
    }
}

TEST(GifWrite, ReductionPaletteFramesTreeOrderedLeavesWithStaticColoursAndBlack)
{
    // Tree order interleaves the bits red, green, blue from the top bit down:
    // (7,0,0) < blue < green < red.
    Picture picture = test::TrueColourPicture(4, 3, { Rgb(255, 0, 0), Rgb(0, 255, 0), Rgb(0, 0, 255), Rgb(7, 0, 0) });
    const test::ParsedGif gif = test::ParseGif(Save(picture));
    ASSERT_TRUE(gif.ok);
    ASSERT_EQ(gif.table.size(), 256u);
    const auto& system = pixels::HalftonePalette256();
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(gif.table[size_t(i)], system[size_t(i)]) << i;
        EXPECT_EQ(gif.table[size_t(255 - i)], system[size_t(255 - i)]) << 255 - i;
    }
    const std::vector<Color> leaves(gif.table.begin() + 10, gif.table.begin() + 14);
    EXPECT_EQ(leaves, (std::vector<Color> { Rgb(7, 0, 0), Rgb(0, 0, 255), Rgb(0, 255, 0), Rgb(255, 0, 0) }));
    EXPECT_TRUE(std::all_of(gif.table.begin() + 14, gif.table.begin() + 246, [](Color c) { return c == 0; }));
}

TEST(GifWrite, OctreeFoldsTheNewestNodeOfTheDeepestLevelFirstAndSumsWithoutOverflow)
{
    // 236 colours, each alone under its level-7 node, then (1,1,1) beside
    // (0,0,0): the 237th leaf. Folding the newest level-7 nodes changes
    // nothing until the oldest, which holds the only pair, merges it.
    GifOctree tree;
    for (int i = 0; i < 236; ++i)
        tree.add(pixels::ColorToPixel(Rgb(2 * (i % 118), 2 * (i / 118), 0)));
    tree.add(pixels::ColorToPixel(Rgb(1, 1, 1)));
    tree.add(pixels::ColorToPixel(Rgb(1, 1, 1)));
    EXPECT_EQ(tree.leafCount(), 236);
    const std::vector<Color> colours = tree.colours();
    ASSERT_EQ(colours.size(), 236u);
    EXPECT_EQ(colours[0], Rgb(0, 0, 0)); // (0 + 1 + 1) / 3 truncates to 0
    EXPECT_EQ(std::count(colours.begin(), colours.end(), Rgb(2, 0, 0)), 1);

    // Regression: the colour sums overflowed 32 bits (255 × 17e6) on a large
    // picture of one colour.
    GifOctree white;
    for (int i = 0; i < 17'000'000; ++i)
        white.add({ 255, 255, 255 });
    EXPECT_EQ(white.colours(), std::vector<Color> { Rgb(255, 255, 255) });
}

// Runs of one colour are counted at once; the tree must end as the one built
// pixel by pixel, folds in the middle of a run included.
TEST(GifWrite, OctreeCountsARunAsItsPixelsOneByOne)
{
    struct Case {
        const char* name;
        int maxLeaves;
        size_t colours;
        int longestRun;
    };
    const Case cases[] = {
        {"one colour", kGifOctreeLeaves, 1, 5000},
        {"runs of many colours, folding", kGifOctreeLeaves, 3000, 40},
        {"a tree of two leaves", 2, 50, 9},
        {"single pixels", 16, 400, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<Color> colours = DistinctColours(c.colours, 11);
        std::mt19937 random(5);
        std::vector<pixels::PixelBGR> row;
        while (row.size() < 20000) {
            const pixels::PixelBGR p = pixels::ColorToPixel(colours[random() % colours.size()]);
            row.insert(row.end(), 1 + random() % static_cast<uint32_t>(c.longestRun), p);
        }
        GifOctree byRun(c.maxLeaves);
        GifOctree byPixel(c.maxLeaves);
        for (size_t at = 0; at < row.size(); at += 1000) {
            const int count = static_cast<int>(std::min<size_t>(1000, row.size() - at));
            byRun.addRow(row.data() + at, count);
            for (int i = 0; i < count; ++i) byPixel.add(row[at + static_cast<size_t>(i)]);
        }
        EXPECT_EQ(byRun.leafCount(), byPixel.leafCount());
        EXPECT_EQ(byRun.colours(), byPixel.colours());
    }
}

TEST(GifWrite, FileLayoutFollowsTransparencyAndTableUse)
{
    const Color a = Rgb(10, 200, 30), b = Rgb(90, 20, 140), white = Rgb(255, 255, 255);
    struct Case {
        const char* name;
        std::vector<Color> pixels;
        bool transparent;
        std::string header;
        uint8_t screenFlags;
        uint8_t imageFlags;
        int minCodeSize;
        std::vector<Color> table; // entries the file must start with
        int transparentIndex;
    };
    const Case cases[] = {
        { "opaque", { b, a, a, white }, false, "GIF87a", 0x77, 0x87, 8, {}, -1 },
        // Sorted by use (a before b although b comes first), white's pixels on the appended black.
        { "white made transparent", { b, a, white, a, b, a, white, a, a, b }, true, "GIF89a", 0x11, 0x81, 2,
            { a, b, white, 0 }, 3 },
        { "no white to hide", { b, a, a }, true, "GIF87a", 0x00, 0x80, 2, { a, b }, -1 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Picture picture = test::TrueColourPicture(int(c.pixels.size()), 1, c.pixels);
        if (c.transparent) picture.setTransparent(true, white);
        const test::ParsedGif gif = test::ParseGif(Save(picture));
        ASSERT_TRUE(gif.ok);
        EXPECT_EQ(gif.header, c.header);
        EXPECT_EQ(gif.screenFlags, c.screenFlags);
        EXPECT_EQ(gif.imageFlags, c.imageFlags);
        EXPECT_EQ(gif.minCodeSize, c.minCodeSize);
        EXPECT_TRUE(std::equal(c.table.begin(), c.table.end(), gif.table.begin()));
        EXPECT_EQ(gif.control, c.transparentIndex >= 0);
        if (c.transparentIndex < 0) continue;
        EXPECT_EQ(gif.controlFlags, 0x01);
        EXPECT_EQ(gif.transparentIndex, c.transparentIndex);
        const test::LzwTrace trace = test::DecodeLzw(gif.data, gif.minCodeSize);
        for (size_t i = 0; i < c.pixels.size(); ++i)
            EXPECT_EQ(trace.indices[i] == c.transparentIndex, c.pixels[i] == white) << i;
    }
}

TEST(GifWrite, AllColoursInUseLeaveNothingTransparentButSortTheTable)
{
    // Index i is used 1 + (i * 7) % 256 times: every entry in use, white among them.
    Picture picture = Picture::create(256, 129, PixelFormat::Bits8);
    int x = 0, y = 0;
    for (int i = 0; i < 256; ++i)
        for (int n = 0; n <= (i * 7) % 256; ++n, x = (x + 1) % 256, y += x == 0)
            picture.scanLine(y)[x] = uint8_t(i);
    picture.setTransparent(true, Rgb(255, 255, 255));
    const std::vector<Color> expected = test::PixelColours(picture);
    const std::vector<uint8_t> bytes = Save(picture);
    const test::ParsedGif gif = test::ParseGif(bytes);
    ASSERT_TRUE(gif.ok);
    EXPECT_EQ(gif.header, "GIF89a");
    EXPECT_FALSE(gif.control);
    EXPECT_EQ(gif.imageFlags, 0x80 | 0x20 | 7);
    // The most used entry comes first: 73, as (73 × 7) % 256 = 255.
    EXPECT_EQ(gif.table[0], pixels::HalftonePalette256()[73]);
    const ReadResult back = ReadGif(bytes);
    ASSERT_TRUE(back.ok()) << back.error;
    EXPECT_EQ(test::PixelColours(back.picture), expected);
    EXPECT_FALSE(back.picture.transparent());
}

TEST(GifWrite, EveryDepthRoundTripsAndOnlyIndexedPicturesKeepTheirFormat)
{
    const std::vector<Color> colours { Rgb(255, 0, 0), Rgb(0, 0, 255), Rgb(255, 255, 255), Rgb(0, 0, 0), Rgb(0, 128, 0),
        Rgb(255, 255, 0) };
    const PixelFormat formats[] = { PixelFormat::Bits1, PixelFormat::Bits4, PixelFormat::Bits8, PixelFormat::Bits15,
        PixelFormat::Bits16, PixelFormat::Bits24, PixelFormat::Bits32, PixelFormat::DeviceDefault };
    for (const PixelFormat format : formats) {
        SCOPED_TRACE(static_cast<int>(format));
        // An asymmetric pattern: flips and channel swaps show.
        Picture picture = test::TrueColourPicture(13, 7, colours);
        picture.setPixel(0, 0, { 0, 0, 255 });
        picture.convertTo(format);
        const bool indexed
            = format == PixelFormat::Bits1 || format == PixelFormat::Bits4 || format == PixelFormat::Bits8;
        const std::vector<Color> expected = test::PixelColours(picture);
        const std::vector<Color> palette = picture.palette();
        const std::vector<uint8_t> bytes = Save(picture);
        EXPECT_EQ(picture.format(), indexed ? format : PixelFormat::Bits24);
        const ReadResult back = ReadGif(bytes);
        ASSERT_TRUE(back.ok()) << back.error;
        EXPECT_EQ(test::PixelColours(back.picture), expected);
        if (indexed) {
            const test::ParsedGif gif = test::ParseGif(bytes);
            EXPECT_TRUE(std::equal(palette.begin(), palette.end(), gif.table.begin()));
            EXPECT_EQ(gif.table.size(), palette.size());
        }
    }
}

TEST(GifWrite, RefusalsCarryTheirReason)
{
    // An 8-bit picture whose table is shorter than its indices reach.
    std::vector<uint8_t> bits(8, 5);
    Picture shortTable = Picture::adopt(8, 1, PixelFormat::Custom, {}, std::move(bits), 8, 8);
    shortTable.setPalette({ Rgb(1, 2, 3), Rgb(4, 5, 6) });
    Picture empty;
    Picture good = test::TrueColourPicture(3, 3, { Rgb(1, 2, 3) });
    MemorySink memory;
    testsupport::FailingSink failing;
    EXPECT_EQ(WriteGif(shortTable, memory).error, kGifColourNotInTable);
    EXPECT_FALSE(WriteGif(empty, memory).ok());
    EXPECT_FALSE(WriteGif(good, failing).ok());
    EXPECT_TRUE(memory.bytes.empty());
}

} // namespace
} // namespace kaptivus::files
