// Metafiles from other programs: their bitmap records in every bitmap
// encoding, the common drawing records, the mapping modes, the picture size
// each format gives and the 2,000,000-pixel shrink rule.
#include "emf_wmf_fixtures.h"

#include <gtest/gtest.h>

namespace kaptivus::files::testing {
namespace {

constexpr uint32_t kSrcCopy = 0x00CC0020;
constexpr uint32_t kPatCopy = 0x00F00021;
constexpr uint32_t kNullPen = 0x80000008;

enum Emr : uint32_t {
    kEmrPolygon16 = 86,
    kEmrSetWindowExt = 9,
    kEmrSetViewportExt = 11,
    kEmrSetMapMode = 17,
    kEmrMoveTo = 27,
    kEmrSaveDc = 33,
    kEmrRestoreDc = 34,
    kEmrSetWorldTransform = 35,
    kEmrSelectObject = 37,
    kEmrCreatePen = 38,
    kEmrCreateBrush = 39,
    kEmrEllipse = 42,
    kEmrRectangle = 43,
    kEmrLineTo = 54,
    kEmrBitBlt = 76,
    kEmrStretchBlt = 77,
    kEmrSetDiBitsToDevice = 80,
    kEmrStretchDiBits = 81,
};

enum Meta : uint16_t {
    kMetaSelectObject = 0x012D,
    kMetaDeleteObject = 0x01F0,
    kMetaSetWindowOrg = 0x020B,
    kMetaSetWindowExt = 0x020C,
    kMetaLineTo = 0x0213,
    kMetaMoveTo = 0x0214,
    kMetaCreatePen = 0x02FA,
    kMetaCreateBrush = 0x02FC,
    kMetaPolygon = 0x0324,
    kMetaRectangle = 0x041B,
    kMetaPatBlt = 0x061D,
    kMetaDibBitBlt = 0x0940,
    kMetaDibStretchBlt = 0x0B41,
    kMetaSetDibToDev = 0x0D33,
    kMetaStretchDib = 0x0F43,
};

std::vector<uint8_t> EmfBitmap(uint32_t type, const Dib& dib, int x, int y, int w, int h)
{
    std::vector<uint8_t> p;
    auto put = [&p](std::initializer_list<int64_t> values) {
        for (int64_t v : values)
            Put32(p, uint32_t(v));
    };
    const uint32_t fixed = type == kEmrStretchDiBits ? 80
        : type == kEmrSetDiBitsToDevice              ? 76
        : type == kEmrBitBlt                         ? 100
                                                     : 108;
    const auto offsets = [&] {
        put({ fixed, int64_t(dib.info.size()), fixed + int64_t(dib.info.size()), int64_t(dib.bits.size()) });
    };
    put({ x, y, x + w - 1, y + h - 1 }); // bounds
    if (type == kEmrStretchDiBits) {
        put({ x, y, 0, 0, 2, 2 });
        offsets();
        put({ 0, kSrcCopy, w, h });
    } else if (type == kEmrSetDiBitsToDevice) {
        put({ x, y, 0, 0, 2, 2 });
        offsets();
        put({ 0, 0, 2 }); // RGB colours, first scan line 0, two of them
    } else {
        put({ x, y, w, h, kSrcCopy, 0, 0, 0x3F800000, 0, 0, 0x3F800000, 0, 0, 0, 0 }); // identity source transform
        offsets();
        if (type == kEmrStretchBlt) put({ 2, 2 });
    }
    p.insert(p.end(), dib.info.begin(), dib.info.end());
    p.insert(p.end(), dib.bits.begin(), dib.bits.end());
    return p;
}

std::vector<uint8_t> WmfBitmap(uint16_t function, const Dib& dib, int x, int y, int w, int h)
{
    std::vector<uint8_t> p;
    std::vector<int> words;
    switch (function) {
    case kMetaStretchDib:
        words = { Lo(kSrcCopy), Hi(kSrcCopy), 0, 2, 2, 0, 0, h, w, y, x };
        break;
    case kMetaDibStretchBlt:
        words = { Lo(kSrcCopy), Hi(kSrcCopy), 2, 2, 0, 0, h, w, y, x };
        break;
    case kMetaDibBitBlt:
        words = { Lo(kSrcCopy), Hi(kSrcCopy), 0, 0, 2, 2, y, x };
        break;
    default:
        words = { 0, 2, 0, 0, 0, 2, 2, y, x };
        break; // set bits to the device: two scan lines from 0
    }
    for (int v : words)
        Put16(p, uint32_t(v));
    const std::vector<uint8_t> packed = dib.packed();
    p.insert(p.end(), packed.begin(), packed.end());
    return p;
}

struct BitmapCase {
    std::string name;
    Metafile format;
    std::vector<uint8_t> bytes;
    int x, y, w, h; // where the bitmap lands on the 40 × 40 picture
};

std::vector<BitmapCase> BitmapCases()
{
    std::vector<BitmapCase> cases;
    const std::pair<DibKind, const char*> kinds[] = { { DibKind::Rgb24, "rgb24" },
        { DibKind::Rgb24TopDown, "topdown24" }, { DibKind::Indexed4, "indexed4" }, { DibKind::Indexed8, "indexed8" },
        { DibKind::Rgb555, "rgb555" }, { DibKind::Rgb565Masks, "rgb565masks" }, { DibKind::Rgb32, "rgb32" } };
    for (auto [kind, name] : kinds)
        cases.push_back({ std::string("EmfStretchDiBits_") + name, Metafile::Emf,
            EmfBuilder(40, 40)
                .record(kEmrStretchDiBits, EmfBitmap(kEmrStretchDiBits, QuadrantDib(kind), 0, 0, 40, 40))
                .bytes(),
            0, 0, 40, 40 });
    const Dib dib = QuadrantDib(DibKind::Rgb24);
    auto emf = [&](uint32_t type, int x, int y, int w, int h) {
        return EmfBuilder(40, 40).record(type, EmfBitmap(type, dib, x, y, w, h)).bytes();
    };
    auto wmf = [&](uint16_t function, int x, int y, int w, int h) {
        return WmfBuilder().placeable(0, 0, 40, 40, 96).record(function, WmfBitmap(function, dib, x, y, w, h)).bytes();
    };
    cases.push_back({ "EmfStretchBlt", Metafile::Emf, emf(kEmrStretchBlt, 8, 4, 24, 30), 8, 4, 24, 30 });
    cases.push_back({ "EmfBitBlt", Metafile::Emf, emf(kEmrBitBlt, 10, 12, 2, 2), 10, 12, 2, 2 });
    cases.push_back({ "EmfSetDiBitsToDevice", Metafile::Emf, emf(kEmrSetDiBitsToDevice, 5, 6, 2, 2), 5, 6, 2, 2 });
    cases.push_back({ "WmfStretchDib", Metafile::Wmf, wmf(kMetaStretchDib, 0, 0, 40, 40), 0, 0, 40, 40 });
    cases.push_back({ "WmfDibStretchBlt", Metafile::Wmf, wmf(kMetaDibStretchBlt, 8, 4, 24, 30), 8, 4, 24, 30 });
    cases.push_back({ "WmfDibBitBlt", Metafile::Wmf, wmf(kMetaDibBitBlt, 10, 12, 2, 2), 10, 12, 2, 2 });
    cases.push_back({ "WmfSetDibToDev", Metafile::Wmf, wmf(kMetaSetDibToDev, 5, 6, 2, 2), 5, 6, 2, 2 });
    cases.push_back({ "WmfStretchDibPacked8", Metafile::Wmf,
        WmfBuilder()
            .placeable(0, 0, 40, 40, 96)
            .record(kMetaStretchDib, WmfBitmap(kMetaStretchDib, QuadrantDib(DibKind::Indexed8), 0, 0, 40, 40))
            .bytes(),
        0, 0, 40, 40 });
    // Every header a BMP file may carry is drawn from a record too: the short
    // 16-byte header (size, width, height, planes, depth) and the 124-byte
    // one holding its bit-field masks.
    Dib shortHeader = QuadrantDib(DibKind::Rgb24);
    shortHeader.info.resize(16);
    shortHeader.info[0] = 16;
    cases.push_back({ "EmfStretchDiBits_shortHeader", Metafile::Emf,
        EmfBuilder(40, 40).record(kEmrStretchDiBits, EmfBitmap(kEmrStretchDiBits, shortHeader, 0, 0, 40, 40)).bytes(),
        0, 0, 40, 40 });
    Dib fifthHeader = QuadrantDib(DibKind::Rgb565Masks);
    fifthHeader.info.resize(124, 0);
    fifthHeader.info[0] = 124;
    cases.push_back({ "WmfStretchDib_fifthHeader", Metafile::Wmf,
        WmfBuilder()
            .placeable(0, 0, 40, 40, 96)
            .record(kMetaStretchDib, WmfBitmap(kMetaStretchDib, fifthHeader, 0, 0, 40, 40))
            .bytes(),
        0, 0, 40, 40 });
    return cases;
}

class MetafileBitmapRecords : public ::testing::TestWithParam<BitmapCase> { };

TEST_P(MetafileBitmapRecords, DrawTheirBitmapWhereTheRecordSays)
{
    const BitmapCase& c = GetParam();
    const ReadResult read = Read(c.format, c.bytes);
    ASSERT_TRUE(read.ok()) << read.error;
    ASSERT_EQ(read.picture.width(), 40);
    ASSERT_EQ(read.picture.height(), 40);
    const int left = c.x + c.w / 4, right = c.x + 3 * c.w / 4, top = c.y + c.h / 4, bottom = c.y + 3 * c.h / 4;
    EXPECT_EQ(ColourAt(read.picture, left, top), kRed);
    EXPECT_EQ(ColourAt(read.picture, right, top), kGreen);
    EXPECT_EQ(ColourAt(read.picture, left, bottom), kBlue);
    EXPECT_EQ(ColourAt(read.picture, right, bottom), kYellow);
    if (c.w < 40) {
        EXPECT_EQ(ColourAt(read.picture, c.x - 1, c.y), kWhite) << "left of the bitmap";
        EXPECT_EQ(ColourAt(read.picture, c.x + c.w, c.y + c.h), kWhite) << "below and right of the bitmap";
    }
}

INSTANTIATE_TEST_SUITE_P(Records, MetafileBitmapRecords, ::testing::ValuesIn(BitmapCases()),
    [](const auto& info) { return info.param.name; });

struct Probe {
    int x, y;
    uint32_t colour;
};

struct DrawingCase {
    std::string name;
    Metafile format;
    std::vector<uint8_t> bytes;
    std::vector<Probe> probes;
};

EmfBuilder EmfWithRedBrush()
{
    EmfBuilder b(40, 40);
    b.record(kEmrCreateBrush, { 1, 0, kRed, 0 }).record(kEmrSelectObject, { 1 }).record(kEmrSelectObject, { kNullPen });
    return b;
}

WmfBuilder WmfWithRedBrush()
{
    WmfBuilder b;
    b.placeable(0, 0, 40, 40, 96);
    b.record(kMetaCreateBrush, { 0, Lo(kRed), Hi(kRed), 0 }).record(kMetaSelectObject, { 0 });
    b.record(kMetaCreatePen, { 5, 0, 0, 0, 0 }).record(kMetaSelectObject, { 1 }); // a null pen
    return b;
}

std::vector<DrawingCase> DrawingCases()
{
    // A rectangle from (10, 10) to (30, 20) fills columns 10..29 and rows 10..19.
    const std::vector<Probe> rectangle { { 10, 10, kRed }, { 29, 19, kRed }, { 30, 15, kWhite }, { 15, 20, kWhite },
        { 9, 15, kWhite } };
    // (0, 0) to (2, 2) in a window of 4 on a picture of 40: twenty pixels a side.
    const std::vector<Probe> scaled { { 0, 0, kRed }, { 19, 19, kRed }, { 20, 5, kWhite }, { 5, 20, kWhite } };
    const std::vector<Probe> triangle { { 5, 5, kRed }, { 30, 2, kRed }, { 35, 35, kWhite } };
    const std::vector<Probe> line { { 20, 5, kRed }, { 0, 5, kRed }, { 20, 4, kWhite }, { 20, 6, kWhite } };
    const std::vector<Probe> ellipse { { 20, 20, kRed }, { 2, 2, kWhite }, { 37, 37, kWhite }, { 20, 1, kRed } };
    std::vector<DrawingCase> cases;
    cases.push_back({ "EmfRectangle", Metafile::Emf,
        EmfWithRedBrush().record(kEmrRectangle, { 10, 10, 30, 20 }).bytes(), rectangle });
    cases.push_back(
        { "EmfEllipse", Metafile::Emf, EmfWithRedBrush().record(kEmrEllipse, { 0, 0, 40, 40 }).bytes(), ellipse });
    {
        std::vector<uint8_t> poly;
        for (uint32_t v : { 0u, 0u, 39u, 39u, 3u })
            Put32(poly, v);
        for (uint32_t v : { 0u, 0u, 40u, 0u, 0u, 40u })
            Put16(poly, v);
        cases.push_back(
            { "EmfPolygon16", Metafile::Emf, EmfWithRedBrush().record(kEmrPolygon16, poly).bytes(), triangle });
    }
    cases.push_back({ "EmfPenLine", Metafile::Emf,
        EmfBuilder(40, 40)
            .record(kEmrCreatePen, { 1, 0, 1, 0, kRed })
            .record(kEmrSelectObject, { 1 })
            .record(kEmrMoveTo, { 0, 5 })
            .record(kEmrLineTo, { 40, 5 })
            .bytes(),
        line });
    cases.push_back({ "EmfAnisotropicWindowAndViewport", Metafile::Emf,
        EmfWithRedBrush()
            .record(kEmrSetMapMode, { 8 })
            .record(kEmrSetWindowExt, { 4, 4 })
            .record(kEmrSetViewportExt, { 40, 40 })
            .record(kEmrRectangle, { 0, 0, 2, 2 })
            .bytes(),
        scaled });
    cases.push_back({ "EmfWorldTransform", Metafile::Emf,
        EmfWithRedBrush()
            .record(kEmrSetWorldTransform, { 0x41200000, 0, 0, 0x41200000, 0, 0 }) // scale by 10
            .record(kEmrRectangle, { 0, 0, 2, 2 })
            .bytes(),
        scaled });
    // The brush selected after a save is gone after the restore: the default white brush and black pen draw.
    cases.push_back({ "EmfSaveAndRestore", Metafile::Emf,
        EmfBuilder(40, 40)
            .record(kEmrCreateBrush, { 1, 0, kRed, 0 })
            .record(kEmrSaveDc, {})
            .record(kEmrSelectObject, { 1 })
            .record(kEmrRestoreDc, { uint32_t(-1) })
            .record(kEmrRectangle, { 10, 10, 30, 20 })
            .bytes(),
        { { 15, 15, kWhite }, { 10, 10, 0 }, { 29, 19, 0 }, { 30, 20, kWhite } } });
    cases.push_back({ "EmfPatternBlt", Metafile::Emf,
        EmfWithRedBrush()
            .record(kEmrBitBlt,
                { 0, 0, 0, 0, 10, 10, 20, 10, kPatCopy, 0, 0, 0x3F800000, 0, 0, 0x3F800000, 0, 0, 0, 0, 0, 0, 0, 0 })
            .bytes(),
        rectangle });

    // A stretch without a bitmap paints the destination with the brush.
    cases.push_back({ "EmfStretchDiBitsWithoutBitmap", Metafile::Emf,
        EmfWithRedBrush()
            .record(kEmrStretchDiBits, { 0, 0, 0, 0, 10, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, kPatCopy, 20, 10 })
            .bytes(),
        rectangle });

    cases.push_back({ "WmfRectangle", Metafile::Wmf,
        WmfWithRedBrush().record(kMetaRectangle, { 20, 30, 10, 10 }).bytes(), rectangle });
    cases.push_back({ "WmfPolygon", Metafile::Wmf,
        WmfWithRedBrush().record(kMetaPolygon, { 3, 0, 0, 40, 0, 0, 40 }).bytes(), triangle });
    cases.push_back({ "WmfPenLine", Metafile::Wmf,
        WmfBuilder()
            .placeable(0, 0, 40, 40, 96)
            .record(kMetaCreatePen, { 0, 1, 0, Lo(kRed), Hi(kRed) })
            .record(kMetaSelectObject, { 0 })
            .record(kMetaMoveTo, { 5, 0 })
            .record(kMetaLineTo, { 5, 40 })
            .bytes(),
        line });
    cases.push_back({ "WmfWindowExtent", Metafile::Wmf,
        WmfWithRedBrush()
            .record(kMetaSetWindowOrg, { 0, 0 })
            .record(kMetaSetWindowExt, { 4, 4 })
            .record(kMetaRectangle, { 2, 2, 0, 0 })
            .bytes(),
        scaled });
    // Objects take the lowest free index: after deleting object 0, the green brush is object 0.
    cases.push_back({ "WmfObjectIndexReuse", Metafile::Wmf,
        WmfBuilder()
            .placeable(0, 0, 40, 40, 96)
            .record(kMetaCreateBrush, { 0, Lo(kBlue), Hi(kBlue), 0 })
            .record(kMetaCreateBrush, { 0, Lo(kRed), Hi(kRed), 0 })
            .record(kMetaDeleteObject, { 0 })
            .record(kMetaCreateBrush, { 0, Lo(kGreen), Hi(kGreen), 0 })
            .record(kMetaSelectObject, { 0 })
            .record(kMetaRectangle, { 20, 30, 10, 10 })
            .bytes(),
        { { 15, 15, kGreen } } });
    cases.push_back({ "WmfPatBlt", Metafile::Wmf,
        WmfWithRedBrush().record(kMetaPatBlt, { Lo(kPatCopy), Hi(kPatCopy), 10, 20, 10, 10 }).bytes(), rectangle });
    // A box in twips (1440 an inch) of 600 × 600 units is 40 pixels at 96 dpi; the records draw in twips.
    cases.push_back({ "WmfPlaceableUnits", Metafile::Wmf,
        WmfBuilder()
            .placeable(0, 0, 600, 600, 1440)
            .record(kMetaCreateBrush, { 0, Lo(kRed), Hi(kRed), 0 })
            .record(kMetaSelectObject, { 0 })
            .record(kMetaCreatePen, { 5, 0, 0, 0, 0 })
            .record(kMetaSelectObject, { 1 })
            .record(kMetaRectangle, { 300, 450, 150, 150 })
            .bytes(),
        rectangle });
    return cases;
}

class MetafileDrawingRecords : public ::testing::TestWithParam<DrawingCase> { };

TEST_P(MetafileDrawingRecords, FillAndOutlineOnWhite)
{
    const DrawingCase& c = GetParam();
    const ReadResult read = Read(c.format, c.bytes);
    ASSERT_TRUE(read.ok()) << read.error;
    ASSERT_EQ(read.picture.width(), 40);
    ASSERT_EQ(read.picture.height(), 40);
    for (const Probe& p : c.probes)
        EXPECT_EQ(ColourAt(read.picture, p.x, p.y), p.colour) << "at " << p.x << "," << p.y;
}

INSTANTIATE_TEST_SUITE_P(Records, MetafileDrawingRecords, ::testing::ValuesIn(DrawingCases()),
    [](const auto& info) { return info.param.name; });

TEST(MetafileDrawingSize, ShrinksBothSidesByTenWhileOverTwoMillionPixels)
{
    struct Case {
        int64_t width, height, drawnWidth, drawnHeight;
    };
    for (const Case& c : { Case { 3000, 2000, 2000, 1000 }, // 100 steps: 2000 × 1000 is not greater than 2,000,000
             Case { 1920, 1080, 1890, 1050 }, // a full-HD screen comes back three steps smaller
             Case { 2000, 1000, 2000, 1000 }, Case { 1417, 1411, 1417, 1411 }, Case { 1, 1, 1, 1 },
             Case { 5, 1000000, 5, 400000 }, // a side under 10 stays as it is
             Case { 15, 300000, 10, 200000 }, // a side never goes below 10
             Case { 2147483647, 2147483647, 1407, 1407 } }) {
        EXPECT_EQ(MetafileDrawingSize(c.width, c.height), (MetafileSize { c.drawnWidth, c.drawnHeight }))
            << c.width << "x" << c.height;
    }
}

TEST(MetafileRead, AMetafileOf3000By2000PixelsIsDrawnStretchedInto2000By1000)
{
    // Two pixels, red then blue, stretched over the whole picture.
    const Dib dib { Dib24Header(2, 1), { 0, 0, 255, 255, 0, 0, 0, 0 } };
    std::vector<uint8_t> emfRecord;
    for (int32_t v : { 0, 0, 2999, 1999, 0, 0, 0, 0, 2, 1, 80, 40, 120, 8, 0, int32_t(kSrcCopy), 3000, 2000 })
        Put32(emfRecord, uint32_t(v));
    emfRecord.insert(emfRecord.end(), dib.info.begin(), dib.info.end());
    emfRecord.insert(emfRecord.end(), dib.bits.begin(), dib.bits.end());
    std::vector<uint8_t> wmfRecord;
    for (int v : { Lo(kSrcCopy), Hi(kSrcCopy), 0, 1, 2, 0, 0, 2000, 3000, 0, 0 })
        Put16(wmfRecord, uint32_t(v));
    const std::vector<uint8_t> packed = dib.packed();
    wmfRecord.insert(wmfRecord.end(), packed.begin(), packed.end());

    for (const auto& [format, bytes] :
        { std::pair { Metafile::Emf, EmfBuilder(3000, 2000).record(kEmrStretchDiBits, emfRecord).bytes() },
            std::pair { Metafile::Wmf,
                WmfBuilder().placeable(0, 0, 3000, 2000, 96).record(kMetaStretchDib, wmfRecord).bytes() } }) {
        const ReadResult read = Read(format, bytes);
        ASSERT_TRUE(read.ok()) << Name(format) << ": " << read.error;
        EXPECT_EQ(read.picture.width(), 2000) << Name(format);
        EXPECT_EQ(read.picture.height(), 1000) << Name(format);
        EXPECT_EQ(ColourAt(read.picture, 999, 500), kRed) << Name(format);
        EXPECT_EQ(ColourAt(read.picture, 1000, 500), kBlue) << Name(format);
        EXPECT_EQ(ColourAt(read.picture, 1999, 999), kBlue) << Name(format);
    }
}

TEST(WmfRead, WithoutAPlaceableHeaderTheWindowExtentGivesTheSize)
{
    const std::vector<uint8_t> bytes = WmfBuilder()
                                           .record(kMetaSetWindowOrg, { 0, 0 })
                                           .record(kMetaSetWindowExt, { 30, 50 })
                                           .record(kMetaCreateBrush, { 0, Lo(kRed), Hi(kRed), 0 })
                                           .record(kMetaSelectObject, { 0 })
                                           .record(kMetaRectangle, { 30, 25, 0, 0 })
                                           .bytes();
    const ReadResult read = ReadWmf(bytes);
    ASSERT_TRUE(read.ok()) << read.error;
    EXPECT_EQ(read.picture.width(), 50);
    EXPECT_EQ(read.picture.height(), 30);
    EXPECT_EQ(ColourAt(read.picture, 20, 15), kRed);
    EXPECT_EQ(ColourAt(read.picture, 30, 15), kWhite);
}

} // namespace
} // namespace kaptivus::files::testing
