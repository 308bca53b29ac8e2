// The placeable WMF files we write, field by field: the 22-byte header with
// its key, box, 96 units an inch and checksum, then the metafile header and
// the records that map the window onto the picture and draw it.
#include "emf_wmf_fixtures.h"

#include <gtest/gtest.h>

namespace kaptivus::files::testing {
namespace {

struct WmfLayout {
    int width;
    int height;
    uint16_t checksum; // worked out by hand: XOR of 0xCDD7, 0x9AC6, 0, 0, 0, width, height, 96, 0, 0
};

class WmfWriteLayout : public ::testing::TestWithParam<WmfLayout> { };

TEST_P(WmfWriteLayout, PlaceableHeaderAndRecordsHoldThePublishedFields)
{
    const WmfLayout& c = GetParam();
    const std::vector<uint8_t> f = Write(Metafile::Wmf, RandomPicture(c.width, c.height, 5));
    ASSERT_FALSE(f.empty());
    const uint32_t stride = (uint32_t(c.width) * 3 + 3) / 4 * 4;
    const uint32_t stretchWords = (28 + 40 + stride * uint32_t(c.height)) / 2;

    // Placeable header: key, handle 0, box (0, 0, width, height), 96 units an inch, reserved 0, checksum.
    EXPECT_EQ(Le32(f, 0), 0x9AC6CDD7u);
    EXPECT_EQ((std::vector<uint32_t> {
                  Le16(f, 4), Le16(f, 6), Le16(f, 8), Le16(f, 10), Le16(f, 12), Le16(f, 14), Le32(f, 16) }),
        (std::vector<uint32_t> { 0, 0, 0, uint32_t(c.width), uint32_t(c.height), 96, 0 }));
    EXPECT_EQ(Le16(f, 20), c.checksum);
    uint16_t all = 0;
    for (size_t i = 0; i < 22; i += 2)
        all ^= Le16(f, i);
    EXPECT_EQ(all, 0) << "the checksum is the XOR of the ten words before it";

    // Metafile header: in memory, 9 words, version 3, size in words, no objects, largest record.
    const size_t h = 22;
    EXPECT_EQ((std::vector<uint32_t> { Le16(f, h), Le16(f, h + 2), Le16(f, h + 4), Le32(f, h + 6), Le16(f, h + 10),
                  Le32(f, h + 12), Le16(f, h + 16) }),
        (std::vector<uint32_t> { 1, 9, 0x300, uint32_t(f.size() - 22) / 2, 0, stretchWords, 0 }));

    // Anisotropic mapping, window (0, 0) and (width, height), given y first.
    const size_t m = h + 18;
    EXPECT_EQ((std::vector<uint32_t> { Le32(f, m), Le16(f, m + 4), Le16(f, m + 6) }),
        (std::vector<uint32_t> { 4, 0x0103, 8 }));
    EXPECT_EQ((std::vector<uint32_t> { Le32(f, m + 8), Le16(f, m + 12), Le16(f, m + 14), Le16(f, m + 16) }),
        (std::vector<uint32_t> { 5, 0x020B, 0, 0 }));
    EXPECT_EQ((std::vector<uint32_t> { Le32(f, m + 18), Le16(f, m + 22), Le16(f, m + 24), Le16(f, m + 26) }),
        (std::vector<uint32_t> { 5, 0x020C, uint32_t(c.height), uint32_t(c.width) }));

    // One stretched bitmap: copy, RGB colours, source and destination the whole picture.
    const size_t s = m + 28;
    EXPECT_EQ(Le32(f, s), stretchWords);
    EXPECT_EQ(Le16(f, s + 4), 0x0F43);
    EXPECT_EQ(Le32(f, s + 6), 0x00CC0020u);
    std::vector<uint32_t> fields;
    for (size_t i = s + 10; i < s + 28; i += 2)
        fields.push_back(Le16(f, i));
    const auto w = uint32_t(c.width);
    const auto ht = uint32_t(c.height);
    EXPECT_EQ(fields, (std::vector<uint32_t> { 0, ht, w, 0, 0, ht, w, 0, 0 }));
    EXPECT_EQ((std::vector<uint32_t> { Le32(f, s + 28), Le32(f, s + 32), Le32(f, s + 36), Le16(f, s + 42) }),
        (std::vector<uint32_t> { 40, w, ht, 24 }));

    // The end record closes the file.
    ASSERT_EQ(s + 2 * stretchWords + 6, f.size());
    EXPECT_EQ(Le32(f, f.size() - 6), 3u);
    EXPECT_EQ(Le16(f, f.size() - 2), 0u);
}

INSTANTIATE_TEST_SUITE_P(Sizes, WmfWriteLayout,
    ::testing::Values(WmfLayout { 1, 1, 0x5771 }, WmfLayout { 7, 5, 0x5773 }, WmfLayout { 640, 480, 0x5411 },
        WmfLayout { 1920, 1080, 0x54C9 }));

} // namespace
} // namespace kaptivus::files::testing
