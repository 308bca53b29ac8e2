// The placeable WMF files we write, field by field: the 22-byte header with
// its key, box, 96 units an inch and checksum, then the metafile header and
// the records that map the window onto the picture and draw it.
#include "emf_wmf_fixtures.h"

#include <gtest/gtest.h>

namespace kaptivus::files::testing {
namespace {

TEST(WmfWriteLayout, PlaceableHeaderAndRecordsHoldThePublishedFields)
{
    struct Case {
        int width, height;
        uint16_t checksum; // worked out by hand: XOR of 0xCDD7, 0x9AC6, 0, 0, 0, width, height, 96, 0, 0
    };
    for (const Case& c : { Case { 1, 1, 0x5771 }, Case { 7, 5, 0x5773 }, Case { 640, 480, 0x5411 } }) {
        const std::vector<uint8_t> f = Write(Metafile::Wmf, RandomPicture(c.width, c.height, 5));
        ASSERT_FALSE(f.empty());
        const uint32_t w = uint32_t(c.width), h = uint32_t(c.height);
        const uint32_t stretchWords = (28 + 40 + (w * 3 + 3) / 4 * 4 * h) / 2;
        const uint32_t fileWords = uint32_t(f.size() - 22) / 2;
        std::vector<uint32_t> words; // the placeable header, metafile header and the first records, as 16-bit words
        for (size_t at = 0; at < 22 + 18 + 28 + 28; at += 2)
            words.push_back(Le16(f, at));
        EXPECT_EQ(words,
            (std::vector<uint32_t> { 0xCDD7, 0x9AC6, 0, 0, 0, w, h, 96, 0, 0, c.checksum, // placeable
                1, 9, 0x300, fileWords & 0xFFFF, fileWords >> 16, 0, stretchWords & 0xFFFF, stretchWords >> 16, 0,
                4, 0, 0x0103, 8, // anisotropic mapping
                5, 0, 0x020B, 0, 0, // window origin
                5, 0, 0x020C, h, w, // window extent, y first
                stretchWords & 0xFFFF, stretchWords >> 16, 0x0F43, 0x0020, 0x00CC, 0, h, w, 0, 0, h, w, 0, 0 }));
        EXPECT_EQ((std::vector<uint32_t> { Le32(f, 96), Le32(f, 100), Le32(f, 104), Le16(f, 110) }),
            (std::vector<uint32_t> { 40, w, h, 24 }));
        // The end record closes the file.
        ASSERT_EQ(68 + 2 * stretchWords + 6, f.size());
        EXPECT_EQ(Le32(f, f.size() - 6), 3u);
        EXPECT_EQ(Le16(f, f.size() - 2), 0u);
    }
}

} // namespace
} // namespace kaptivus::files::testing
