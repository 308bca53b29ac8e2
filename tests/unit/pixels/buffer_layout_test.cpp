// The buffer's memory layout, Allocate, AssignFrom and FillArea.
#include "buffer_fixtures.h"
#include "pixels/PixelFill.h"

#include <climits>
#include <gtest/gtest.h>

namespace kaptivus::pixels {
namespace {

using namespace testing;

TEST(BufferLayout, RowsArePaddedToFourBytes)
{
    struct Case {
        int width, stride, padding;
    };
    for (const Case c :
        { Case { 4, 12, 0 }, Case { 5, 16, 1 }, Case { 1, 4, 1 }, Case { 2, 8, 2 }, Case { 3, 12, 3 } }) {
        TPixelBuffer buffer;
        ASSERT_TRUE(buffer.Allocate(c.width, 3));
        EXPECT_EQ(buffer.rowStride(), c.stride) << c.width;
        EXPECT_EQ(buffer.rowPadding(), c.padding) << c.width;
        EXPECT_EQ(buffer.size(), c.stride * 3) << c.width;
        EXPECT_EQ(buffer.rowBytes(2) - buffer.rowBytes(0), 2 * c.stride) << c.width;
        EXPECT_EQ(buffer.rowBytes(0), buffer.data());
    }
}

TEST(BufferLayout, NewBufferIsEmpty)
{
    TPixelBuffer buffer;
    EXPECT_TRUE(buffer.isEmpty());
    EXPECT_EQ(buffer.width(), 0);
    EXPECT_EQ(buffer.height(), 0);
    EXPECT_EQ(buffer.size(), 0);
}

TEST(BufferAllocate, SameSizeKeepsPixelsOtherSizeClears)
{
    TPixelBuffer buffer;
    FillF(buffer);
    const std::vector<uint8_t> before = Bytes(buffer);
    ASSERT_TRUE(buffer.Allocate(6, 5));
    EXPECT_EQ(Bytes(buffer), before);

    ASSERT_TRUE(buffer.Allocate(5, 6));
    EXPECT_EQ(buffer.width(), 5);
    for (uint8_t b : Bytes(buffer))
        ASSERT_EQ(b, 0);
}

TEST(BufferAllocate, ZeroAndNegativeSizesGiveAnEmptyBuffer)
{
    for (auto [w, h] :
        { std::pair { 0, 0 }, std::pair { 0, 7 }, std::pair { 7, 0 }, std::pair { -3, 4 }, std::pair { 4, -3 } }) {
        TPixelBuffer buffer;
        FillF(buffer);
        EXPECT_TRUE(buffer.Allocate(w, h));
        EXPECT_TRUE(buffer.isEmpty());
        EXPECT_EQ(buffer.size(), 0);
    }
}

TEST(BufferAllocate, OverflowingSizeIsRefusedBeforeAllocating)
{
    TPixelBuffer buffer;
    FillF(buffer);
    EXPECT_FALSE(buffer.Allocate(INT_MAX, INT_MAX));
    EXPECT_TRUE(buffer.isEmpty());
    EXPECT_FALSE(buffer.Allocate(100000, 100000));
    EXPECT_TRUE(buffer.isEmpty());
    EXPECT_TRUE(buffer.Allocate(2, 2));
}

TEST(BufferAssign, CopiesSizeAndBytes)
{
    TPixelBuffer source, copy;
    FillF(source);
    ASSERT_TRUE(copy.AssignFrom(source));
    EXPECT_EQ(copy.width(), 6);
    EXPECT_EQ(copy.height(), 5);
    EXPECT_EQ(Bytes(copy), Bytes(source));
    TPixelBuffer empty;
    ASSERT_TRUE(copy.AssignFrom(empty));
    EXPECT_TRUE(copy.isEmpty());
}

TEST(BufferFill, CornersBeyondTheEdgesFillToTheEdge)
{
    TPixelBuffer buffer;
    buffer.Allocate(5, 4);
    MarkPadding(buffer, 0xAB);
    FillArea(buffer, -10, 2, 100, 99, kWhite);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(buffer.row(y)[x], y >= 2 ? kWhite : kBlack) << x << "," << y;
    EXPECT_TRUE(PaddingIs(buffer, 0xAB));
}

TEST(BufferFill, CornersInAnyOrderAreInclusive)
{
    TPixelBuffer buffer;
    buffer.Allocate(6, 5);
    FillArea(buffer, 4, 3, 1, 1, kRed);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x) {
            const bool inside = x >= 1 && x <= 4 && y >= 1 && y <= 3;
            EXPECT_EQ(buffer.row(y)[x], inside ? kRed : kBlack) << x << "," << y;
        }
}

TEST(BufferFill, AwkwardSizes)
{
    TPixelBuffer empty;
    FillArea(empty, 0, 0, 10, 10, kRed); // must not touch anything
    EXPECT_TRUE(empty.isEmpty());
    for (auto [w, h] : { std::pair { 1, 1 }, std::pair { 1, 7 }, std::pair { 7, 1 } }) {
        TPixelBuffer buffer;
        buffer.Allocate(w, h);
        MarkPadding(buffer, 0x5A);
        FillArea(buffer, INT_MIN, INT_MIN, INT_MAX, INT_MAX, kRed);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                EXPECT_EQ(buffer.row(y)[x], kRed);
        EXPECT_TRUE(PaddingIs(buffer, 0x5A));
    }
}

TEST(BufferHelpers, ClampTiesAndColourChannelOrder)
{
    EXPECT_EQ(ClampInt(5, 0, -1), -1); // the upper bound is tested first
    const PixelBGR p = ColorToPixel(0x00332211);
    EXPECT_EQ(p.r, 0x11);
    EXPECT_EQ(p.g, 0x22);
    EXPECT_EQ(p.b, 0x33);
}

} // namespace
} // namespace kaptivus::pixels
