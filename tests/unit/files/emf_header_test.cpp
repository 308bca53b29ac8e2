// The EMF files we write against the published layout: a header, one
// stretch-DIB-bits record holding the picture at its own size, the end record.
#include "emf_wmf_fixtures.h"

#include <gtest/gtest.h>

namespace kaptivus::files::testing {
namespace {

TEST(EmfWriteLayout, HeaderBitmapAndEndRecordsHoldThePublishedFields)
{
    struct Case {
        int width, height;
        uint32_t frameRight, frameBottom; // hundredths of a millimetre at 96 dpi: 640 px is 16933.3
    };
    for (const Case& c : { Case { 1, 1, 26, 26 }, Case { 7, 5, 185, 132 }, Case { 640, 480, 16933, 12700 } }) {
        const std::vector<uint8_t> f = Write(Metafile::Emf, RandomPicture(c.width, c.height, 3));
        ASSERT_FALSE(f.empty());
        const uint32_t w = uint32_t(c.width), h = uint32_t(c.height);
        const uint32_t bits = (w * 3 + 3) / 4 * 4 * h;
        std::vector<uint32_t> header;
        for (size_t at = 0; at < 56; at += 4)
            header.push_back(Le32(f, at));
        EXPECT_EQ(header,
            (std::vector<uint32_t> { 1, 108, 0, 0, w - 1, h - 1, 0, 0, c.frameRight, c.frameBottom, 0x464D4520,
                0x10000, uint32_t(f.size()), 3 }));
        // One handle, no description, no palette; a 1920 × 1080 device of 508 × 286 mm.
        EXPECT_EQ((std::vector<uint32_t> { Le16(f, 56), Le32(f, 60), Le32(f, 64), Le32(f, 68), Le32(f, 72), Le32(f, 76),
                      Le32(f, 80), Le32(f, 84), Le32(f, 100), Le32(f, 104) }),
            (std::vector<uint32_t> { 1, 0, 0, 0, 1920, 1080, 508, 286, 508000, 285750 }));
        // The bitmap record: the whole picture at (0, 0), its own size, copied, 24 bits bottom-up.
        const size_t r = 108;
        std::vector<uint32_t> record;
        for (size_t at = r; at < r + 80 + 24; at += 4)
            if (at < r + 8 || at >= r + 24) record.push_back(Le32(f, at)); // bounds aside
        EXPECT_EQ(record,
            (std::vector<uint32_t> { 81, 80 + 40 + bits, 0, 0, 0, 0, w, h, 80, 40, 120, bits, 0,
                0x00CC0020, w, h, 40, w, h, 0x180001, 0, bits }));
        // The end record closes the file.
        const size_t e = r + 80 + 40 + bits;
        ASSERT_EQ(e + 20, f.size());
        EXPECT_EQ((std::vector<uint32_t> { Le32(f, e), Le32(f, e + 4), Le32(f, e + 8), Le32(f, e + 12), Le32(f, e + 16) }),
            (std::vector<uint32_t> { 14, 20, 0, 16, 20 }));
    }
}

} // namespace
} // namespace kaptivus::files::testing
