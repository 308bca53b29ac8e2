// BMP writing and reading inside the program: every depth through a write
// and a read, layouts other writers make, damaged files and failing sinks.
#include "bmp_builder.h"
#include "bmp_fixtures.h"
#include "files/BmpCodec.h"
#include "files/Dib.h"

#include <climits>

namespace kaptivus::files::testing {
namespace {

uint32_t At(const std::vector<uint8_t>& b, size_t offset, int bytes)
{
    return LoadLe(b.data() + offset, static_cast<size_t>(bytes));
}

std::vector<uint8_t> Written(const Picture& p)
{
    MemorySink sink;
    EXPECT_TRUE(WriteBmp(p, sink).ok());
    return sink.bytes;
}

TEST(BmpRoundTrip, EveryDepthKeepsItsPixelsAndPalette)
{
    struct Case {
        PixelFormat format;
        int fileBits, compression, stride13; // stride of a 13-pixel row
    };
    const Case cases[] = { { PixelFormat::Bits1, 1, 0, 4 }, { PixelFormat::Bits4, 4, 0, 8 },
        { PixelFormat::Bits8, 8, 0, 16 }, { PixelFormat::Bits15, 16, 0, 28 }, { PixelFormat::Bits16, 16, 3, 28 },
        { PixelFormat::Bits24, 24, 0, 40 }, { PixelFormat::Bits32, 32, 0, 52 } };
    for (const Case& c : cases) {
        for (const int width : { 1, 13, 32 }) {
            const Picture original = Fixture(width, 7, c.format);
            const std::string what = std::to_string(pixels::PixelFormatBits(original)) + " bits, width " + std::to_string(width);
            const std::vector<uint8_t> file = Written(original);
            const size_t table = c.fileBits <= 8 ? 4u << c.fileBits : (c.compression == 3 ? 12 : 0);
            ASSERT_GE(file.size(), 54u) << what;
            EXPECT_EQ(At(file, 2, 4), file.size()) << what;
            EXPECT_EQ(At(file, 10, 4), 54 + table) << what;
            EXPECT_EQ(At(file, 28, 2), uint32_t(c.fileBits)) << what;
            EXPECT_EQ(At(file, 30, 4), uint32_t(c.compression)) << what;
            EXPECT_EQ(At(file, 38, 4), 3780u) << "96 dpi, " << what;
            if (width == 13) {
                EXPECT_EQ(file.size(), 54 + table + 7u * c.stride13) << what;
            }

            const ReadResult back = ReadBmp(file);
            ASSERT_TRUE(back.ok()) << back.error << ", " << what;
            EXPECT_EQ(back.picture.format(), c.format) << what;
            EXPECT_EQ(back.picture.palette(), original.palette()) << what;
            ExpectSamePixels(PixelsOf(original), PixelsOf(back.picture), 0, what);
        }
    }
}

TEST(BmpRoundTrip, ShortAndCustomColourTablesKeepTheirEntries)
{
    for (const size_t entries : { size_t { 1 }, size_t { 3 }, size_t { 20 }, size_t { 256 } }) {
        Picture p = Picture::create(9, 4, PixelFormat::Bits8);
        std::vector<pixels::Color> palette;
        for (size_t i = 0; i < entries; ++i)
            palette.push_back(static_cast<pixels::Color>((0x10203 * i + 0x400000) & 0xFFFFFF));
        p.setPalette(palette);
        for (int x = 0; x < 9; ++x)
            p.scanLine(x % 4)[x] = static_cast<uint8_t>((x * 7) % entries);
        const std::vector<uint8_t> file = Written(p);
        EXPECT_EQ(At(file, 46, 4), entries == 256 ? 0 : entries) << "colours used";
        const ReadResult back = ReadBmp(file);
        ASSERT_TRUE(back.ok()) << back.error;
        EXPECT_EQ(back.picture.palette(), palette);
        ExpectSamePixels(PixelsOf(p), PixelsOf(back.picture), 0, std::to_string(entries) + " entries");
    }
}

TEST(BmpWrite, UnwritablePicturesAndFailingSinksGiveErrors)
{
    std::vector<uint8_t> rows(8, 0);
    const Picture custom = Picture::adopt(2, 2, PixelFormat::Custom, {}, std::move(rows), 4, 16, 0xF000, 0x0F00, 0x00F0);
    ASSERT_FALSE(custom.isEmpty());
    for (const Picture& p : { Picture::create(4, 4, PixelFormat::DeviceDefault), custom, Picture {} }) {
        MemorySink sink;
        const CodecStatus status = WriteBmp(p, sink);
        EXPECT_FALSE(status.ok());
        EXPECT_TRUE(sink.bytes.empty()) << "nothing is written before the refusal";
        if (!p.isEmpty()) {
            EXPECT_NE(status.error.find("converted to 24 bits"), std::string::npos) << status.error;
        }
    }
    // 300 x 300 at 24 bits is 270,000 bytes of rows: two batches.
    const Picture p = Fixture(300, 300, PixelFormat::Bits24);
    const size_t total = Written(p).size();
    for (const size_t budget : { size_t { 0 }, size_t { 13 }, size_t { 14 }, size_t { 60 }, size_t { 200000 }, total - 1 }) {
        FailingSink sink(budget);
        EXPECT_FALSE(WriteBmp(p, sink).ok()) << "budget " << budget;
    }
    FailingSink enough(total);
    EXPECT_TRUE(WriteBmp(p, enough).ok());
}

// Colours of the hand-made files' tables: index i is a distinct colour.
const std::vector<pixels::Color> kTable { 0x000000, 0x0000FF, 0x00FF00, 0xFF0000, 0xFFFFFF, 0x808080 };

std::vector<PixelBGR> FromIndexes(const std::vector<int>& indexes)
{
    std::vector<PixelBGR> out;
    for (int i : indexes)
        out.push_back(pixels::ColorToPixel(kTable[static_cast<size_t>(i)]));
    return out;
}

struct HandMade {
    const char* name;
    BmpLayout layout;
    PixelFormat format;
    std::vector<PixelBGR> expected; // top row first
};

std::vector<HandMade> HandMadeLayouts()
{
    const PixelBGR red { 0, 0, 255 }, green { 0, 255, 0 }, blue { 255, 0, 0 }, white { 255, 255, 255 };
    std::vector<HandMade> l;
    // 2 × 2, 24 bits, rows stored top-down: red green / blue white.
    l.push_back({ "top-down", { 40, 2, -2, 24, 0, 0, {}, {}, { 0, 0, 255, 0, 255, 0, 0, 0, 255, 0, 0, 255, 255, 255, 0, 0 } },
        PixelFormat::Bits24, { red, green, blue, white } });
    // Core header: 3-byte table entries, 16-bit sizes.
    l.push_back({ "core header", { 12, 3, 1, 8, 0, 0, {}, { 0x0000FF, 0x00FF00, 0xFF0000 }, { 2, 1, 0, 0 } },
        PixelFormat::Bits8, { blue, green, red } });
    // Fifth-version header with 5-6-5 masks inside it.
    l.push_back({ "v5 bit-fields 565", { 124, 2, 1, 16, 3, 0, { 0xF800, 0x07E0, 0x001F }, {}, { 0x00, 0xF8, 0x1F, 0x00 } },
        PixelFormat::Bits16, { red, blue } });
    // 5-5-5 given as masks after a 40-byte header: a custom layout, pixels exact.
    l.push_back({ "bit-fields 555", { 40, 2, 1, 16, 3, 0, { 0x7C00, 0x03E0, 0x001F }, {}, { 0xE0, 0x03, 0xFF, 0x7F } },
        PixelFormat::Custom, { green, white } });
    // 10-10-10 in 32 bits: red full, green half, blue none -> 255, 128, 0.
    l.push_back({ "bit-fields 10-10-10", { 56, 1, 1, 32, 3, 0, { 0x3FF00000, 0x000FFC00, 0x000003FF }, {}, { 0x00, 0x00, 0xF8, 0x3F } },
        PixelFormat::Custom, { PixelBGR { 0, 128, 255 } } });
    // Table cut short by the pixel offset: three of the 256 entries fit.
    l.push_back({ "short table", { 40, 3, 1, 8, 0, 0, {}, { 0x0000FF, 0x00FF00, 0xFF0000 }, { 1, 2, 0, 0 } },
        PixelFormat::Bits8, { green, blue, red } });
    // An offset of 0 points into the header: the rows follow the table.
    l.push_back({ "offset 0", { 40, 2, 1, 1, 0, 2, {}, { 0x000000, 0xFFFFFF }, { 0x40, 0, 0, 0 }, 0 }, PixelFormat::Bits1,
        { PixelBGR {}, white } });
    l.push_back({ "2 bits", { 40, 3, 1, 2, 0, 4, {}, { 0, 0x0000FF, 0x00FF00, 0xFF0000 }, { 0x6C, 0, 0, 0 } },
        PixelFormat::Custom, { red, green, blue } });
    // RLE8, 4 × 4, bottom row first: literal 1 2 3 (padded) and a run of one 5, end of line;
    // run of two 1s, end of line; jump (1, 1) skips a row and lands at x = 1 of the top row;
    // run of three 4s; end of bitmap. Skipped pixels are index 0.
    l.push_back({ "RLE8",
        { 40, 4, 4, 8, 1, 6, {}, kTable, { 0, 3, 1, 2, 3, 0, 1, 5, 0, 0, 2, 1, 0, 0, 0, 2, 1, 1, 3, 4, 0, 1 } },
        PixelFormat::Bits8, FromIndexes({ 0, 4, 4, 4, 0, 0, 0, 0, 1, 1, 0, 0, 1, 2, 3, 5 }) });
    // RLE4, 5 × 2: run of 5 alternating 1,2; end of line; literal 3,4,5 (2 bytes + pad);
    // no end-of-bitmap code: what was decoded stays.
    l.push_back({ "RLE4", { 40, 5, 2, 4, 2, 6, {}, kTable, { 5, 0x12, 0, 0, 0, 3, 0x34, 0x50, 0, 0 } }, PixelFormat::Bits4,
        FromIndexes({ 3, 4, 5, 0, 0, 1, 2, 1, 2, 1 }) });
    // Runs that go on into the row's padding, as some writers encode it, are cut at the
    // row's end: 3 × 4 wide, a run of 6 × 1 on the bottom row, a literal of 5 on the next,
    // a run of 2 × 2 then 4 × 3 on the top row.
    l.push_back({ "RLE8 runs past the row",
        { 40, 3, 3, 8, 1, 6, {}, kTable, { 6, 1, 0, 0, 0, 5, 4, 5, 4, 5, 4, 0, 0, 0, 2, 2, 4, 3, 0, 1 } },
        PixelFormat::Bits8, FromIndexes({ 2, 2, 3, 4, 5, 4, 1, 1, 1 }) });
    return l;
}

TEST(BmpRead, LayoutsOfOtherWritersOpenWithTheirPixels)
{
    for (const HandMade& l : HandMadeLayouts()) {
        const ReadResult r = ReadBmp(BuildBmp(l.layout));
        ASSERT_TRUE(r.ok()) << l.name << ": " << r.error;
        EXPECT_EQ(r.picture.format(), l.format) << l.name;
        ExpectSamePixels(l.expected, PixelsOf(r.picture), 0, l.name);
    }
}

TEST(BmpRead, MalformedFilesGiveErrors)
{
    const auto rle8 = [](std::vector<uint8_t> data) {
        return BmpLayout { 40, 4, 2, 8, 1, 6, {}, kTable, std::move(data) };
    };
    const BmpLayout rgb { 40, 2, 2, 24, 0, 0, {}, {}, std::vector<uint8_t>(16, 0) };
    struct Case {
        const char* name;
        std::vector<uint8_t> file;
        const char* error;
    };
    // Each case changes one thing of a good 2 × 2 file.
    const auto with = [&rgb](auto change) {
        BmpLayout s = rgb;
        change(s);
        return BuildBmp(s);
    };
    const Case cases[] = {
        { "empty", {}, "not a BMP file" },
        { "wrong magic", { 'P', 'K', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 40, 0, 0, 0 }, "not a BMP file" },
        { "width beyond the limit", with([](BmpLayout& s) { s.width = 70000; }), "wider or taller than 65535" },
        { "height of -2^31", with([](BmpLayout& s) { s.height = INT32_MIN; }), "wider or taller than 65535" },
        // 300 MB claimed by a 70-byte file: refused before anything is allocated.
        { "huge rows on a tiny file", with([](BmpLayout& s) { s.width = s.height = 10000; }), "truncated pixel data" },
        { "header size 200", with([](BmpLayout& s) { s.headerSize = 200; }), "unknown bitmap header size" },
        { "offset past the end", with([](BmpLayout& s) { s.offset = 5000; }), "offset past the end" },
        { "rows cut short", with([](BmpLayout& s) { s.bits.resize(10); }), "truncated pixel data" },
        { "7 bits", with([](BmpLayout& s) { s.bitCount = 7; }), "unsupported bit count" },
        { "JPEG inside", with([](BmpLayout& s) { s.compression = 4; }), "not supported" },
        { "overlapping masks", with([](BmpLayout& s) { s = { 40, 2, 2, 16, 3, 0, { 0xFF00, 0x0FF0, 0x000F }, {}, s.bits }; }),
            "invalid bit-field masks" },
        { "split mask", with([](BmpLayout& s) { s = { 40, 2, 2, 16, 3, 0, { 0xF00F, 0x0F00, 0x00F0 }, {}, s.bits }; }),
            "invalid bit-field masks" },
        { "no colour table", with([](BmpLayout& s) { s.bitCount = 8, s.offset = 54; }), "missing colour table" },
        { "RLE jump past the picture", BuildBmp(rle8({ 0, 2, 5, 0, 0, 1 })), "jump past the picture" },
        { "RLE rows past the last", BuildBmp(rle8({ 0, 0, 0, 0, 1, 1, 0, 1 })), "past the last row" },
        { "RLE literal cut short", BuildBmp(rle8({ 0, 4, 1, 2 })), "truncated RLE data" },
        { "RLE jump cut short", BuildBmp(rle8({ 0, 2, 1 })), "truncated RLE data" },
    };
    for (const Case& c : cases) {
        const ReadResult r = ReadBmp(c.file);
        EXPECT_FALSE(r.ok()) << c.name;
        EXPECT_TRUE(r.picture.isEmpty()) << c.name;
        EXPECT_NE(r.error.find(c.error), std::string::npos) << c.name << ": " << r.error;
    }
    ReadLimits small;
    small.maxFileBytes = 60;
    EXPECT_FALSE(ReadBmp(BuildBmp(rgb), small).ok()) << "a file over the byte limit";
    small = {};
    small.maxPixels = 3;
    EXPECT_FALSE(ReadBmp(BuildBmp(rgb), small).ok()) << "a picture over the pixel limit";
}

TEST(Dib, PackedAnd24BitBlocksAgreeWithTheBmpFile)
{
    for (const PixelFormat f : OwnFormats()) {
        const Picture p = Fixture(5, 3, f);
        DibSizes sizes;
        ASSERT_TRUE(MeasureDib(p, sizes).ok());
        MemorySink dib;
        ASSERT_TRUE(WriteDib(p, dib).ok());
        EXPECT_EQ(dib.bytes.size(), size_t { sizes.infoBytes } + sizes.bitsBytes);
        const std::vector<uint8_t> file = Written(p);
        EXPECT_TRUE(std::equal(dib.bytes.begin(), dib.bytes.end(), file.begin() + 14)) << "a BMP file is 14 bytes + the DIB";
        const ReadResult packed = ReadDib(dib.bytes);
        ASSERT_TRUE(packed.ok()) << packed.error;
        ExpectSamePixels(PixelsOf(p), PixelsOf(packed.picture), 0, "packed DIB");
        const Bytes all(dib.bytes);
        const ReadResult apart = ReadDib(all.first(sizes.infoBytes), all.subspan(sizes.infoBytes));
        ASSERT_TRUE(apart.ok()) << apart.error;
        ExpectSamePixels(PixelsOf(p), PixelsOf(apart.picture), 0, "info and bits apart");

        // The 24-bit form of any picture is what WriteDib writes after conversion;
        // five pixels of three bytes pad to 16 bytes a row.
        MemorySink dib24;
        ASSERT_TRUE(WriteDib24Info(5, 3, dib24).ok());
        ASSERT_EQ(dib24.bytes.size(), size_t { kDibInfoHeaderBytes });
        ASSERT_TRUE(WriteDib24Bits(p, dib24).ok());
        EXPECT_EQ(Dib24BitsBytes(5, 3), 48u);
        Picture converted = Fixture(5, 3, f);
        converted.convertTo(PixelFormat::Bits24);
        MemorySink dibOfConverted;
        ASSERT_TRUE(WriteDib(converted, dibOfConverted).ok());
        EXPECT_EQ(dib24.bytes.size(), 40u + 48u);
        EXPECT_EQ(dib24.bytes, dibOfConverted.bytes);
        FailingSink full(40 + 47);
        EXPECT_FALSE(WriteDib24Info(5, 3, full).ok() && WriteDib24Bits(p, full).ok());
    }
}

} // namespace
} // namespace kaptivus::files::testing
