// The stages of the adjustment pipeline: identity, rotation, order, colour depth.
#include "picture/AdjustPipeline.h"
#include "tests/gui/picture/pipeline_fixtures.h"

#include <gtest/gtest.h>

#include <functional>

namespace kaptivus::picture {
namespace {

using pixels::Picture;
using pixels::PixelBGR;
using testing::MakeCapture;
using testing::MakeLargeCapture;
using testing::MakeSolidCapture;
using testing::UniquePixel;

// Every pixel of the result is the capture's pixel at source(x, y).
void ExpectMapping(const Picture& result, const Picture& capture,
                   const std::function<std::pair<int, int>(int, int)>& source)
{
    for (int y = 0; y < result.height(); ++y) {
        for (int x = 0; x < result.width(); ++x) {
            const auto [sx, sy] = source(x, y);
            ASSERT_EQ(result.pixel(x, y), capture.pixel(sx, sy)) << "at " << x << "," << y;
        }
    }
}

TEST(PipelineIdentity, NeutralOptionsGiveTheCaptureBackByteForByte)
{
    const PictureOptions neutral;
    for (const pixels::DeviceFormat device :
         {pixels::DeviceFormat{}, pixels::DeviceFormat{24, 24, 0xFF0000, 0x00FF00, 0x0000FF},
          pixels::DeviceFormat{16, 16, 0xF800, 0x07E0, 0x001F}}) {
        const Picture capture = MakeCapture(37, 23, device);
        const PipelineResult result = RunPipeline(capture, neutral, false, 37, 23);
        ASSERT_EQ(result.picture.width(), 37);
        ASSERT_EQ(result.picture.height(), 23);
        EXPECT_EQ(result.picture.format(), pixels::PixelFormat::DeviceDefault);
        EXPECT_EQ(result.picture.device(), device);
        EXPECT_EQ(result.picture.bits(), capture.bits()) << "depth " << device.bitsPerPixel;
        EXPECT_EQ(result.snappedRotation, 0);
    }
}

TEST(PipelineRotation, SnapsNearQuarterAndHalfTurns)
{
    const std::pair<int, int> cases[] = {{-180, -180}, {-175, -180}, {-170, -180}, {-169, -169}, {-101, -101},
                                         {-100, -90},  {-90, -90},   {-80, -90},   {-79, -79},   {0, 0},
                                         {45, 45},     {79, 79},     {80, 90},     {95, 90},     {100, 90},
                                         {101, 101},   {169, 169},   {170, 180},   {180, 180}};
    for (const auto& [angle, snapped] : cases) EXPECT_EQ(SnapRotation(angle), snapped) << angle;
    EXPECT_TRUE(IsNearQuarterTurn(-100));
    EXPECT_TRUE(IsNearQuarterTurn(80));
    EXPECT_FALSE(IsNearQuarterTurn(79));
    EXPECT_FALSE(IsNearQuarterTurn(-101));
}

TEST(PipelineRotation, ReportsTheSnappedAngleAndKeepsTheCallersSize)
{
    const Picture capture = MakeCapture(30, 20);
    PictureOptions options;
    options.rotation = -175;
    EXPECT_EQ(RunPipeline(capture, options, false, 30, 20).snappedRotation, -180);
    options.rotation = 95;
    EXPECT_EQ(RunPipeline(capture, options, false, 20, 30).snappedRotation, 90);
    options.rotation = 45;
    const PipelineResult turned = RunPipeline(capture, options, false, 30, 20);
    EXPECT_EQ(turned.snappedRotation, 45);
    EXPECT_EQ(turned.picture.width(), 30);
    EXPECT_EQ(turned.picture.height(), 20);
    // The bounding box's corners are white, squeezed into the picture.
    EXPECT_EQ(turned.picture.pixel(0, 0), (PixelBGR{255, 255, 255}));
}

TEST(PipelineRotation, QuarterTurnSwapsProportionsOnlyWhenCallerSwaps)
{
    const Picture capture = MakeLargeCapture(300, 200);
    PictureOptions options;
    options.rotation = 90;
    const PipelineResult swapped = RunPipeline(capture, options, false, 200, 300);
    ASSERT_EQ(swapped.picture.width(), 200);
    ASSERT_EQ(swapped.picture.height(), 300);
    ExpectMapping(swapped.picture, capture, [](int x, int y) { return std::pair{y, 199 - x}; });

    const PipelineResult stretched = RunPipeline(capture, options, false, 300, 200);
    EXPECT_EQ(stretched.picture.width(), 300);
    EXPECT_EQ(stretched.picture.height(), 200);
}

// With the integer centre of an odd-sized rotation buffer, a quarter turn
// lands one pixel off: a row of the capture is lost and a white line appears.
TEST(PipelineRotation, OddSizedQuarterAndHalfTurnsArePermutations)
{
    const Picture capture = MakeCapture(7, 5);
    PictureOptions options;
    options.rotation = 90;
    const PipelineResult right = RunPipeline(capture, options, false, 5, 7);
    ASSERT_EQ(right.picture.width(), 5);
    ASSERT_EQ(right.picture.height(), 7);
    ExpectMapping(right.picture, capture, [](int x, int y) { return std::pair{y, 4 - x}; });

    options.rotation = -90;
    const PipelineResult left = RunPipeline(capture, options, false, 5, 7);
    ExpectMapping(left.picture, capture, [](int x, int y) { return std::pair{6 - y, x}; });

    options.rotation = 180;
    const PipelineResult half = RunPipeline(capture, options, false, 7, 5);
    ASSERT_EQ(half.picture.width(), 7);
    ExpectMapping(half.picture, capture, [](int x, int y) { return std::pair{6 - x, 4 - y}; });
}

TEST(PipelineRotation, FourQuarterTurnsGiveTheOriginal)
{
    const Picture capture = MakeCapture(9, 4);
    PictureOptions options;
    options.rotation = 90;
    Picture picture = capture;
    for (int turn = 0; turn < 4; ++turn)
        picture = RunPipeline(picture, options, false, picture.height(), picture.width()).picture;
    EXPECT_EQ(picture.bits(), capture.bits());
}

TEST(PipelineMirrors, VerticalSwapsRowsAndHorizontalSwapsColumns)
{
    const Picture capture = MakeCapture(6, 5);
    PictureOptions options;
    options.flipVertical = true;
    ExpectMapping(RunPipeline(capture, options, false, 6, 5).picture, capture,
                  [](int x, int y) { return std::pair{x, 4 - y}; });
    options.flipVertical = false;
    options.flipHorizontal = true;
    ExpectMapping(RunPipeline(capture, options, false, 6, 5).picture, capture,
                  [](int x, int y) { return std::pair{5 - x, y}; });
}

TEST(PipelineOrder, InversionAfterGreyGivesAnInvertedGreyPicture)
{
    // Channel sum 301 is not a multiple of 3: inverting first would give 154, not 155.
    const Picture capture = MakeSolidCapture(3, 3, PixelBGR{100, 100, 101});
    PictureOptions options;
    options.grey = true;
    options.invert = true;
    const PipelineResult result = RunPipeline(capture, options, false, 3, 3);
    EXPECT_EQ(result.picture.pixel(1, 1), (PixelBGR{155, 155, 155}));
}

TEST(PipelineOrder, ExchangeSwapsBlackAndWhiteOnce)
{
    Picture capture = MakeSolidCapture(3, 1, PixelBGR{0, 0, 0});
    capture.setPixel(1, 0, PixelBGR{255, 255, 255});
    capture.setPixel(2, 0, PixelBGR{10, 20, 30});
    PictureOptions options;
    options.exchange = true;
    options.color1 = 0x000000;
    options.color2 = 0xFFFFFF;
    const PipelineResult result = RunPipeline(capture, options, false, 3, 1);
    EXPECT_EQ(result.picture.pixel(0, 0), (PixelBGR{255, 255, 255}));
    EXPECT_EQ(result.picture.pixel(1, 0), (PixelBGR{0, 0, 0}));
    EXPECT_EQ(result.picture.pixel(2, 0), (PixelBGR{10, 20, 30}));
}

TEST(PipelineOrder, ColourAdjustmentsComeBeforeTheExchange)
{
    // Brightness 255 turns black into 254 grey, which no longer matches black.
    Picture capture = MakeSolidCapture(2, 1, PixelBGR{0, 0, 0});
    capture.setPixel(1, 0, PixelBGR{255, 255, 255});
    PictureOptions options;
    options.brightness = 255;
    options.exchange = true;
    const PipelineResult result = RunPipeline(capture, options, false, 2, 1);
    EXPECT_EQ(result.picture.pixel(0, 0), (PixelBGR{254, 254, 254}));
    EXPECT_EQ(result.picture.pixel(1, 0), (PixelBGR{0, 0, 0}));
}

TEST(PipelineOrder, SubstituteReplacesOnlyTheFirstColour)
{
    Picture capture = MakeSolidCapture(2, 1, PixelBGR{0, 0, 255});
    capture.setPixel(1, 0, PixelBGR{255, 0, 0});
    PictureOptions options;
    options.substitute = true;
    options.color1 = 0x0000FF; // red
    options.color2 = 0xFF0000; // blue
    const PipelineResult result = RunPipeline(capture, options, false, 2, 1);
    EXPECT_EQ(result.picture.pixel(0, 0), (PixelBGR{255, 0, 0}));
    EXPECT_EQ(result.picture.pixel(1, 0), (PixelBGR{255, 0, 0}));
}

TEST(PipelineColours, SaturationAtOneAndNeutralShiftsLeaveThePicture)
{
    const Picture capture = MakeCapture(8, 8);
    PictureOptions options;
    options.saturation = 1; // hands over 256, the identity
    EXPECT_EQ(RunPipeline(capture, options, false, 8, 8).picture.bits(), capture.bits());
    options.saturation = -255; // hands over 0: grey
    const Picture grey = RunPipeline(capture, options, false, 8, 8).picture;
    const PixelBGR p = grey.pixel(5, 3);
    EXPECT_EQ(p.b, p.g);
    EXPECT_EQ(p.g, p.r);
}

TEST(PipelineColours, ChosenColourDepthIsApplied)
{
    const Picture capture = MakeCapture(12, 7);
    PictureOptions options;
    options.frame = 2;
    for (int index = 0; index <= 7; ++index) {
        options.colorsIndex = index;
        const PipelineResult result = RunPipeline(capture, options, false, 12, 7);
        EXPECT_EQ(result.picture.format(), pixels::PixelFormatForIndex(index)) << index;
        EXPECT_EQ(result.picture.width(), 16);
        EXPECT_EQ(result.picture.height(), 11);
    }
    options.colorsIndex = 1;
    const Picture mono = RunPipeline(capture, options, false, 12, 7).picture;
    for (int y = 0; y < mono.height(); ++y) {
        for (int x = 0; x < mono.width(); ++x) {
            const PixelBGR p = mono.pixel(x, y);
            EXPECT_TRUE(p == (PixelBGR{0, 0, 0}) || p == (PixelBGR{255, 255, 255})) << x << "," << y;
        }
    }
}

} // namespace
} // namespace kaptivus::picture
