// The EMF files we write, field by field against the published layout: a
// header, one stretch-DIB-bits record holding the picture at its own size,
// and the end record.
#include "emf_wmf_fixtures.h"

#include <gtest/gtest.h>

namespace kaptivus::files::testing {
namespace {

struct EmfLayout {
    int width;
    int height;
    int32_t frameRight; // hundredths of a millimetre at 96 dpi
    int32_t frameBottom;
};

class EmfWriteLayout : public ::testing::TestWithParam<EmfLayout> { };

TEST_P(EmfWriteLayout, HeaderBitmapAndEndRecordsHoldThePublishedFields)
{
    const EmfLayout& c = GetParam();
    const pixels::Picture picture = RandomPicture(c.width, c.height, 3);
    const std::vector<uint8_t> f = Write(Metafile::Emf, picture);
    ASSERT_FALSE(f.empty());
    const uint32_t stride = (uint32_t(c.width) * 3 + 3) / 4 * 4;
    const uint32_t bits = stride * uint32_t(c.height);

    // The header.
    EXPECT_EQ(Le32(f, 0), 1u);
    EXPECT_EQ(Le32(f, 4), 108u);
    EXPECT_EQ((std::vector<int32_t> { Le32s(f, 8), Le32s(f, 12), Le32s(f, 16), Le32s(f, 20) }),
        (std::vector<int32_t> { 0, 0, c.width - 1, c.height - 1 }));
    EXPECT_EQ((std::vector<int32_t> { Le32s(f, 24), Le32s(f, 28), Le32s(f, 32), Le32s(f, 36) }),
        (std::vector<int32_t> { 0, 0, c.frameRight, c.frameBottom }));
    EXPECT_EQ(std::string(f.begin() + 40, f.begin() + 44), " EMF");
    EXPECT_EQ(Le32(f, 44), 0x10000u);
    EXPECT_EQ(Le32(f, 48), f.size());
    EXPECT_EQ(Le32(f, 52), 3u);
    EXPECT_EQ(Le16(f, 56), 1u);
    EXPECT_EQ(Le32(f, 60) | Le32(f, 64) | Le32(f, 68), 0u); // no description, no palette
    EXPECT_EQ((std::vector<uint32_t> { Le32(f, 72), Le32(f, 76), Le32(f, 80), Le32(f, 84) }),
        (std::vector<uint32_t> { 1920, 1080, 508, 286 }));
    EXPECT_EQ((std::vector<uint32_t> { Le32(f, 100), Le32(f, 104) }), (std::vector<uint32_t> { 508000, 285750 }));

    // The bitmap record: the whole picture at (0, 0), its own size, copied.
    const size_t r = 108;
    EXPECT_EQ(Le32(f, r), 81u);
    EXPECT_EQ(Le32(f, r + 4), 80 + 40 + bits);
    EXPECT_EQ((std::vector<int32_t> { Le32s(f, r + 24), Le32s(f, r + 28), Le32s(f, r + 32), Le32s(f, r + 36),
                  Le32s(f, r + 40), Le32s(f, r + 44) }),
        (std::vector<int32_t> { 0, 0, 0, 0, c.width, c.height }));
    EXPECT_EQ((std::vector<uint32_t> { Le32(f, r + 48), Le32(f, r + 52), Le32(f, r + 56), Le32(f, r + 60),
                  Le32(f, r + 64), Le32(f, r + 68) }),
        (std::vector<uint32_t> { 80, 40, 120, bits, 0, 0x00CC0020 }));
    EXPECT_EQ(Le32s(f, r + 72), c.width);
    EXPECT_EQ(Le32s(f, r + 76), c.height);
    // Its bitmap: 24 bits, uncompressed, rows bottom-up.
    const size_t dib = r + 80;
    EXPECT_EQ((std::vector<uint32_t> { Le32(f, dib), Le32(f, dib + 4), Le32(f, dib + 8), Le16(f, dib + 12),
                  Le16(f, dib + 14), Le32(f, dib + 16), Le32(f, dib + 20) }),
        (std::vector<uint32_t> { 40, uint32_t(c.width), uint32_t(c.height), 1, 24, 0, bits }));
    const pixels::PixelBGR bottomLeft = picture.pixel(0, c.height - 1);
    EXPECT_EQ((std::vector<uint8_t> { f[r + 120], f[r + 121], f[r + 122] }),
        (std::vector<uint8_t> { bottomLeft.b, bottomLeft.g, bottomLeft.r }));

    // The end record closes the file.
    const size_t e = r + 80 + 40 + bits;
    ASSERT_EQ(e + 20, f.size());
    EXPECT_EQ((std::vector<uint32_t> { Le32(f, e), Le32(f, e + 4), Le32(f, e + 8), Le32(f, e + 12), Le32(f, e + 16) }),
        (std::vector<uint32_t> { 14, 20, 0, 16, 20 }));
}

// 2540 hundredths of a millimetre to the inch, 96 pixels to the inch: 640 px is 16933.3.
INSTANTIATE_TEST_SUITE_P(Sizes, EmfWriteLayout,
    ::testing::Values(EmfLayout { 1, 1, 26, 26 }, EmfLayout { 7, 5, 185, 132 }, EmfLayout { 640, 480, 16933, 12700 },
        EmfLayout { 1920, 1080, 50800, 28575 }));

} // namespace
} // namespace kaptivus::files::testing
