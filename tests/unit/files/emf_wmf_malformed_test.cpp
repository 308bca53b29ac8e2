// Damaged and hostile metafiles: records that run past the end, claim huge
// or impossible sizes, bitmaps that do not fit their record, files that ask
// for more drawing or a larger picture than the limits allow. Each gives a
// clear error; none crashes, loops or allocates what it claims.
#include "emf_wmf_fixtures.h"

#include <gtest/gtest.h>

namespace kaptivus::files::testing {
namespace {

constexpr uint32_t kEmrRectangle = 43;
constexpr uint32_t kEmrStretchDiBits = 81;
constexpr uint16_t kMetaRectangle = 0x041B;
constexpr uint16_t kMetaStretchDib = 0x0F43;

// A small valid file and the offset of its first record after the header.
std::vector<uint8_t> EmfWithRectangle()
{
    return EmfBuilder(10, 10).record(kEmrRectangle, { 1, 1, 5, 5 }).bytes();
}
constexpr size_t kEmfFirstRecord = 108;
std::vector<uint8_t> WmfWithRectangle()
{
    return WmfBuilder().placeable(0, 0, 10, 10, 96).record(kMetaRectangle, { 5, 5, 1, 1 }).bytes();
}
constexpr size_t kWmfFirstRecord = 22 + 18;

std::vector<uint8_t> With32(std::vector<uint8_t> bytes, size_t at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes.at(at + size_t(i)) = uint8_t(value >> (8 * i));
    return bytes;
}

// A 2 × 2 24-bit bitmap whose rows are declared 16 bytes but only 8 are there.
std::vector<uint8_t> EmfShortBitmap()
{
    std::vector<uint8_t> p;
    for (int32_t v : { 0, 0, 9, 9, 0, 0, 0, 0, 2, 2, 80, 40, 120, 8, 0, 0x00CC0020, 10, 10 })
        Put32(p, uint32_t(v));
    const std::vector<uint8_t> header = Dib24Header(2, 2);
    p.insert(p.end(), header.begin(), header.end());
    p.resize(p.size() + 8, 0x55);
    return EmfBuilder(10, 10).record(kEmrStretchDiBits, p).bytes();
}

std::vector<uint8_t> WmfShortBitmap()
{
    std::vector<uint8_t> p;
    for (int v : { 0x0020, 0x00CC, 0, 2, 2, 0, 0, 10, 10, 0, 0 })
        Put16(p, uint32_t(v));
    const std::vector<uint8_t> header = Dib24Header(2, 2);
    p.insert(p.end(), header.begin(), header.end());
    p.resize(p.size() + 8, 0x55);
    return WmfBuilder().placeable(0, 0, 10, 10, 96).record(kMetaStretchDib, p).bytes();
}

std::vector<uint8_t> ManyRectangles(Metafile format, int count)
{
    EmfBuilder emf(60, 60);
    WmfBuilder wmf;
    wmf.placeable(0, 0, 60, 60, 96);
    for (int i = 0; i < count; ++i) {
        emf.record(kEmrRectangle, { 0, 0, 60, 60 });
        wmf.record(kMetaRectangle, { 60, 60, 0, 0 });
    }
    return format == Metafile::Emf ? emf.bytes() : wmf.bytes();
}

struct Malformed {
    std::string name;
    Metafile format;
    std::vector<uint8_t> bytes;
    std::string reason; // a part of the error
    ReadLimits limits {};
};

std::vector<Malformed> MalformedCases()
{
    const std::vector<uint8_t> emf = EmfWithRectangle();
    const std::vector<uint8_t> wmf = WmfWithRectangle();
    ReadLimits small;
    small.maxPixels = 4096;
    ReadLimits tinyFile;
    tinyFile.maxFileBytes = 100;
    const std::vector<uint8_t> noise(200, 0x5A);
    return {
        { "EmfRecordPastTheEnd", Metafile::Emf, With32(emf, kEmfFirstRecord + 4, 4000), "past the end" },
        { "EmfRecordOfHugeSize", Metafile::Emf, With32(emf, kEmfFirstRecord + 4, 0xFFFFFFFC), "past the end" },
        { "EmfRecordOfSizeZero", Metafile::Emf, With32(emf, kEmfFirstRecord + 4, 0), "impossible size" },
        { "EmfCutInsideARecordHead", Metafile::Emf, std::vector<uint8_t>(emf.begin(), emf.end() - 15), "truncated" },
        { "EmfHeaderLongerThanTheFile", Metafile::Emf, With32(emf, 4, 100000), "header truncated" },
        { "EmfWithoutSignature", Metafile::Emf, With32(emf, 40, 0x20202020), "not an EMF" },
        { "EmfWithoutSize", Metafile::Emf,
            With32(With32(With32(With32(emf, 16, uint32_t(-5)), 20, uint32_t(-5)), 32, 0), 36, 0), "no picture size" },
        { "EmfBitmapRowsCut", Metafile::Emf, EmfShortBitmap(), "bitmap rows truncated" },
        { "EmfBitmapOutsideItsRecord", Metafile::Emf, With32(EmfShortBitmap(), kEmfFirstRecord + 56, 5000),
            "outside its record" },
        { "EmfTooMuchDrawing", Metafile::Emf, ManyRectangles(Metafile::Emf, 400), "too much drawing", small },
        { "EmfPictureOverTheLimit", Metafile::Emf, EmfBuilder(1000, 1000).bytes(), "size limit", small },
        { "EmfFileOverTheLimit", Metafile::Emf, emf, "size limit", tinyFile },
        { "WmfRecordPastTheEnd", Metafile::Wmf, With32(wmf, kWmfFirstRecord, 4000), "past the end" },
        { "WmfRecordOfHugeSize", Metafile::Wmf, With32(wmf, kWmfFirstRecord, 0xFFFFFFFF), "past the end" },
        { "WmfRecordOfSizeZero", Metafile::Wmf, With32(wmf, kWmfFirstRecord, 0), "impossible size" },
        { "WmfCutInsideARecordHead", Metafile::Wmf, std::vector<uint8_t>(wmf.begin(), wmf.end() - 3), "truncated" },
        { "WmfNoise", Metafile::Wmf, noise, "not a WMF" },
        { "WmfPlaceableWithoutMetafileHeader", Metafile::Wmf, std::vector<uint8_t>(wmf.begin(), wmf.begin() + 30),
            "header" },
        { "WmfWithoutSize", Metafile::Wmf, WmfBuilder().record(kMetaRectangle, { 5, 5, 1, 1 }).bytes(),
            "no picture size" },
        { "WmfBitmapRowsCut", Metafile::Wmf, WmfShortBitmap(), "bitmap rows truncated" },
        { "WmfTooMuchDrawing", Metafile::Wmf, ManyRectangles(Metafile::Wmf, 400), "too much drawing", small },
        { "WmfPictureOverTheLimit", Metafile::Wmf, WmfBuilder().placeable(0, 0, 1000, 1000, 96).bytes(), "size limit",
            small },
    };
}

class MetafileMalformed : public ::testing::TestWithParam<Malformed> { };

TEST_P(MetafileMalformed, IsRefusedWithAClearReason)
{
    const Malformed& c = GetParam();
    const ReadResult read = Read(c.format, c.bytes, c.limits);
    ASSERT_FALSE(read.ok()) << "read as a " << read.picture.width() << "x" << read.picture.height() << " picture";
    EXPECT_NE(read.error.find(c.reason), std::string::npos) << read.error;
    EXPECT_TRUE(read.picture.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Files, MetafileMalformed, ::testing::ValuesIn(MalformedCases()), [](const auto& info) { return info.param.name; });

TEST(MetafileMalformed, EveryCutOfAFileIsReadOrRefusedWithAReason)
{
    // A cut exactly between two records is a file without its end record:
    // what is there is drawn. Anywhere else the cut record is refused.
    for (Metafile format : { Metafile::Emf, Metafile::Wmf }) {
        const std::vector<uint8_t> whole = Write(format, RandomPicture(3, 2, 9));
        for (size_t size = 0; size < whole.size(); ++size) {
            const ReadResult read = Read(format, std::vector<uint8_t>(whole.begin(), whole.begin() + long(size)));
            EXPECT_TRUE(read.ok() ? !read.picture.isEmpty() : !read.error.empty())
                << Name(format) << " cut at " << size;
        }
    }
}

TEST(MetafileMalformed, ThousandsOfSavedStatesNeitherGrowWithoutBoundNorFail)
{
    EmfBuilder emf(10, 10);
    WmfBuilder wmf;
    wmf.placeable(0, 0, 10, 10, 96);
    for (int i = 0; i < 20000; ++i) {
        emf.record(33, std::initializer_list<uint32_t> {});
        wmf.record(0x001E, std::initializer_list<int> {});
    }
    emf.record(34, { uint32_t(-20000) });
    wmf.record(0x0127, { -20000 });
    EXPECT_TRUE(ReadEmf(emf.bytes()).ok());
    EXPECT_TRUE(ReadWmf(wmf.bytes()).ok());
}

} // namespace
} // namespace kaptivus::files::testing
