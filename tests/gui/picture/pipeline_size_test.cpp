// Picture size, size limit and frame of the adjustment pipeline.
#include "picture/AdjustPipeline.h"
#include "tests/gui/picture/pipeline_fixtures.h"

#include <gtest/gtest.h>

#include <climits>

namespace kaptivus::picture {
namespace {

using pixels::PixelBGR;
using testing::MakeCapture;
using testing::MakeLargeCapture;
using testing::UniquePixel;

TEST(PipelineSize, PercentRoundsToNearestWithTiesToEven)
{
    EXPECT_EQ(ScaleByPercent(15, 10), 2); // 1.5
    EXPECT_EQ(ScaleByPercent(25, 10), 2); // 2.5
    EXPECT_EQ(ScaleByPercent(35, 10), 4); // 3.5
    EXPECT_EQ(ScaleByPercent(4, 10), 0);
    EXPECT_EQ(ScaleByPercent(1920, 100), 1920);
    EXPECT_EQ(ScaleByPercent(1280, 400), 5120);
    EXPECT_EQ(ScaleByPercent(INT_MAX, 400), 4LL * INT_MAX);

    PictureOptions options;
    options.resizePercent = 10;
    const PipelineResult result = RunPipeline(MakeCapture(15, 25), options, false, 15, 25);
    EXPECT_EQ(result.picture.width(), 2);
    EXPECT_EQ(result.picture.height(), 2);
}

TEST(PipelineSize, EnlargementOverTheLimitKeepsTheCaptureSize)
{
    const FramedSize size = ComputeFramedSize(false, 1280, 1024, 400, 3, 1280, 1024);
    EXPECT_EQ(size.pictureWidth, 1280);
    EXPECT_EQ(size.pictureHeight, 1024);
    EXPECT_EQ(size.width, 1286);
    EXPECT_EQ(size.height, 1030);

    PictureOptions options;
    options.resizePercent = 400;
    options.frame = 3;
    const PipelineResult result = RunPipeline(MakeLargeCapture(1280, 1024), options, false, 1280, 1024);
    EXPECT_EQ(result.picture.width(), 1286);
    EXPECT_EQ(result.picture.height(), 1030);
    EXPECT_EQ(result.picture.pixel(3, 3), UniquePixel(0, 0));
    EXPECT_EQ(result.picture.pixel(1282, 1026), UniquePixel(1279, 1023));
}

TEST(PipelineSize, LimitCountsTheFrameAndAppliesToExplicitSizes)
{
    // 2048 × 2048 is 4,194,304 pixels: under the limit alone, over it with a frame of 2.
    EXPECT_EQ(ComputeFramedSize(true, 2048, 2048, 100, 0, 10, 20).pictureWidth, 2048);
    const FramedSize framed = ComputeFramedSize(true, 2048, 2048, 100, 2, 10, 20);
    EXPECT_EQ(framed.pictureWidth, 10);
    EXPECT_EQ(framed.pictureHeight, 20);
    // The percentage is ignored for explicit sizes.
    const FramedSize exact = ComputeFramedSize(true, 33, 44, 250, 0, 10, 20);
    EXPECT_EQ(exact.pictureWidth, 33);
    EXPECT_EQ(exact.pictureHeight, 44);
}

// A 32-bit product of these sides wraps to a small or negative number and
// would wave a gigantic picture through the limit.
TEST(PipelineSize, HugeSizesFallBackInsteadOfOverflowing)
{
    const FramedSize wrapsToZero = ComputeFramedSize(true, 65536, 65536, 100, 0, 100, 80);
    EXPECT_EQ(wrapsToZero.pictureWidth, 100);
    EXPECT_EQ(wrapsToZero.pictureHeight, 80);

    const FramedSize wrapsNegative = ComputeFramedSize(false, 40000, 40000, 400, 20, 40000, 40000);
    EXPECT_EQ(wrapsNegative.pictureWidth, 40000);
    EXPECT_EQ(wrapsNegative.width, 40040);

    const FramedSize beyondInt = ComputeFramedSize(false, INT_MAX, INT_MAX, 400, 20, 640, 480);
    EXPECT_EQ(beyondInt.pictureWidth, 640);
    EXPECT_EQ(beyondInt.height, 520);

    const FramedSize negative = ComputeFramedSize(true, -5, 7, 100, 1, 10, 10);
    EXPECT_EQ(negative.pictureWidth, 0);
    EXPECT_EQ(negative.width, 2);
}

TEST(PipelineFrame, RedFrameOfTwentyAroundATenByTenCapture)
{
    PictureOptions options;
    options.frame = 20;
    options.frameColor = 0x0000FF;
    const pixels::Picture capture = MakeCapture(10, 10);
    const PipelineResult result = RunPipeline(capture, options, false, 10, 10);
    ASSERT_EQ(result.picture.width(), 50);
    ASSERT_EQ(result.picture.height(), 50);
    const PixelBGR red{0, 0, 255};
    for (int y = 0; y < 50; ++y) {
        for (int x = 0; x < 50; ++x) {
            const bool inside = x >= 20 && x < 30 && y >= 20 && y < 30;
            const PixelBGR expected = inside ? UniquePixel(x - 20, y - 20) : red;
            ASSERT_EQ(result.picture.pixel(x, y), expected) << x << "," << y;
        }
    }
}

TEST(PipelineFrame, NoFrameAtZero)
{
    PictureOptions options;
    options.frameColor = 0x0000FF;
    const PipelineResult result = RunPipeline(MakeCapture(6, 4), options, false, 6, 4);
    ASSERT_EQ(result.picture.width(), 6);
    EXPECT_EQ(result.picture.pixel(0, 0), UniquePixel(0, 0));
    EXPECT_EQ(result.picture.pixel(5, 3), UniquePixel(5, 3));
}

void ExpectAllFrame(const pixels::Picture& picture, PixelBGR colour)
{
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) ASSERT_EQ(picture.pixel(x, y), colour) << x << "," << y;
}

TEST(PipelineFrame, ZeroSizePictureShowsOnlyTheFrame)
{
    PictureOptions options;
    options.frame = 5;
    options.frameColor = 0x00FF00;
    options.rotation = 45;
    options.emboss = true;
    options.sharpen = true;
    const PixelBGR green{0, 255, 0};

    // Nothing captured yet.
    const PipelineResult empty = RunPipeline(pixels::Picture(), options, false, 0, 0);
    ASSERT_EQ(empty.picture.width(), 10);
    ASSERT_EQ(empty.picture.height(), 10);
    ExpectAllFrame(empty.picture, green);

    // A width of 4 at 10 % rounds to 0.
    options.resizePercent = 10;
    const PipelineResult thin = RunPipeline(MakeCapture(4, 40), options, false, 4, 40);
    ASSERT_EQ(thin.picture.width(), 10);
    ASSERT_EQ(thin.picture.height(), 14);
    ExpectAllFrame(thin.picture, green);

    options.frame = 0;
    EXPECT_TRUE(RunPipeline(pixels::Picture(), options, false, 0, 0).picture.isEmpty());
    EXPECT_TRUE(RunPipeline(MakeCapture(4, 40), options, false, 4, 40).picture.isEmpty());
}

TEST(PipelineFrame, ExplicitSizeOnAnEmptyCaptureIsWhite)
{
    PictureOptions options;
    options.frame = 1;
    const PipelineResult result = RunPipeline(pixels::Picture(), options, true, 3, 2);
    ASSERT_EQ(result.picture.width(), 5);
    ASSERT_EQ(result.picture.height(), 4);
    EXPECT_EQ(result.picture.pixel(0, 0), (PixelBGR{0, 0, 0}));
    EXPECT_EQ(result.picture.pixel(1, 1), (PixelBGR{255, 255, 255}));
    EXPECT_EQ(result.picture.pixel(3, 2), (PixelBGR{255, 255, 255}));
}

} // namespace
} // namespace kaptivus::picture
