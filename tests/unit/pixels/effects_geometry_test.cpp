// Mirrors and rotation: flips undo themselves, quarter turns are exact
// permutations whatever the sizes, and the turn agrees with the integer-centre
// formula wherever that formula's centre is exact.
#include "effects_reference.h"

#include <cmath>
#include <gtest/gtest.h>

namespace kaptivus::pixels::effects_test {
namespace {

TEST(Flips, MatchReferenceAndUndoThemselves)
{
    uint32_t seed = 200;
    for (const Size& size : kAwkwardSizes) {
        TPixelBuffer original;
        TPixelBuffer fast;
        TPixelBuffer slow;
        FillRandom(original, size, seed++);
        Copy(original, fast);
        Copy(original, slow);
        FlipColumns(fast);
        ReferenceFlipColumns(slow);
        ASSERT_TRUE(SameBytes(fast, slow)) << "columns " << Describe(size);
        FlipColumns(fast);
        ASSERT_TRUE(SameBytes(fast, original)) << "columns twice " << Describe(size);
        FlipRows(fast);
        ReferenceFlipRows(original);
        ASSERT_TRUE(SameBytes(fast, original)) << "rows " << Describe(size);
        FlipRows(fast);
        FlipRows(original);
        ASSERT_TRUE(SameBytes(fast, original)) << "rows twice " << Describe(size);
    }
}

TEST(Flips, MoveTheCornersTheRightWay)
{
    TPixelBuffer buffer;
    FillRandom(buffer, { 5, 3 }, 1);
    const PixelBGR topLeft = buffer.row(0)[0];
    const PixelBGR middle = buffer.row(1)[2];
    FlipColumns(buffer);
    EXPECT_EQ(buffer.row(0)[4], topLeft);
    EXPECT_EQ(buffer.row(1)[2], middle);
    FlipRows(buffer);
    EXPECT_EQ(buffer.row(2)[4], topLeft);
    EXPECT_EQ(buffer.row(1)[2], middle);
}

TEST(RotatedBounds, WorkedFigures)
{
    TPixelBuffer source;
    TPixelBuffer destination;
    (void)source.Allocate(300, 200);
    ASSERT_TRUE(RotatedBounds(source, destination, 90));
    EXPECT_EQ(destination.width(), 200);
    EXPECT_EQ(destination.height(), 300);
    ASSERT_TRUE(RotatedBounds(source, destination, 45));
    EXPECT_EQ(destination.width(), 354);
    EXPECT_EQ(destination.height(), 354);
    ASSERT_TRUE(RotatedBounds(source, destination, -180));
    EXPECT_EQ(destination.width(), 300);
    EXPECT_EQ(destination.height(), 200);
}

TEST(RotatedBounds, RefusesAnglesThatAreNotNumbers)
{
    TPixelBuffer source;
    TPixelBuffer destination;
    (void)source.Allocate(30, 20);
    (void)destination.Allocate(5, 5);
    EXPECT_FALSE(RotatedBounds(source, destination, NAN));
    EXPECT_TRUE(destination.isEmpty());
    EXPECT_FALSE(RotatedBounds(source, destination, INFINITY));
    EXPECT_TRUE(destination.isEmpty());
}

void TurnQuarter(TPixelBuffer& picture, long double angle)
{
    TPixelBuffer turned;
    ASSERT_TRUE(RotatedBounds(picture, turned, angle));
    FillWhite(turned);
    RotateBilinear(picture, turned, turned.width() / 2.0L, turned.height() / 2.0L, angle);
    (void)picture.AssignFrom(turned);
}

TEST(RotateBilinear, FourQuarterTurnsRestoreEverySize)
{
    uint32_t seed = 300;
    for (const Size& size : kAwkwardSizes) {
        for (long double angle : { 90.0L, -90.0L }) {
            TPixelBuffer original;
            TPixelBuffer picture;
            FillRandom(original, size, seed++);
            Copy(original, picture);
            for (int turn = 0; turn < 4; ++turn)
                TurnQuarter(picture, angle);
            ASSERT_TRUE(SamePixels(picture, original)) << Describe(size) << " by " << double(angle);
        }
    }
}

TEST(RotateBilinear, QuarterAndHalfTurnsOfOddSizesArePermutations)
{
    for (const Size& size : { Size { 5, 3 }, Size { 3, 5 }, Size { 7, 2 }, Size { 1, 4 }, Size { 13, 7 } }) {
        TPixelBuffer source;
        FillRandom(source, size, 400);
        const int w = size.width;
        const int h = size.height;

        TPixelBuffer half;
        Copy(source, half);
        TurnQuarter(half, 180);
        ASSERT_EQ(half.width(), w);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                ASSERT_EQ(half.row(y)[x], source.row(h - 1 - y)[w - 1 - x])
                    << Describe(size) << " at " << x << "," << y;

        // A positive quarter turn moves the bottom-left corner to the top left.
        TPixelBuffer quarter;
        Copy(source, quarter);
        TurnQuarter(quarter, 90);
        ASSERT_EQ(quarter.width(), h);
        ASSERT_EQ(quarter.height(), w);
        for (int y = 0; y < w; ++y)
            for (int x = 0; x < h; ++x)
                ASSERT_EQ(quarter.row(y)[x], source.row(h - 1 - x)[y]) << Describe(size) << " at " << x << "," << y;
    }
}

TEST(RotateBilinear, HalfTurnOfOddSizeLosesNoColumn)
{
    // With an integer centre, a half turn of 5 × 3 is shifted by one: the last
    // column and row stay white. The exact centre keeps every pixel.
    TPixelBuffer source;
    FillRandom(source, { 5, 3 }, 500);
    TPixelBuffer integerCentre;
    (void)integerCentre.Allocate(5, 3);
    FillWhite(integerCentre);
    ReferenceRotateIntegerCentre(source, integerCentre, 180);
    EXPECT_EQ(integerCentre.row(0)[4], (PixelBGR { 255, 255, 255 }));
    EXPECT_EQ(integerCentre.row(2)[0], (PixelBGR { 255, 255, 255 }));

    TPixelBuffer exact;
    Copy(source, exact);
    TurnQuarter(exact, 180);
    EXPECT_EQ(exact.row(0)[4], source.row(2)[0]);
    EXPECT_EQ(exact.row(2)[0], source.row(0)[4]);
}

TEST(RotateBilinear, EvenSizesMatchTheIntegerCentreFormula)
{
    struct Case {
        Size source;
        Size destination;
    };
    const Case cases[] = { { { 40, 20 }, { 42, 42 } }, { { 30, 20 }, { 50, 40 } }, { { 2, 2 }, { 4, 4 } },
        { { 64, 48 }, { 64, 48 } }, { { 10, 6 }, { 6, 10 } } };
    const long double angles[] = { 0, 1, 17.5L, 30, 45, -45, 90, -90, 135, 180, -180, 271, 359.9L };
    uint32_t seed = 600;
    for (const Case& c : cases) {
        TPixelBuffer source;
        FillRandom(source, c.source, seed++);
        for (long double angle : angles) {
            TPixelBuffer fast;
            TPixelBuffer slow;
            FillRandom(fast, c.destination, seed);
            Copy(fast, slow);
            const int w = c.destination.width;
            const int h = c.destination.height;
            RotateBilinear(source, fast, w / 2.0L, h / 2.0L, angle);
            ReferenceRotateIntegerCentre(source, slow, angle);
            ASSERT_TRUE(SameBytes(fast, slow))
                << Describe(c.source) << " into " << Describe(c.destination) << " by " << double(angle);
        }
    }
}

TEST(RotateBilinear, AnySizeMatchesTheExactCentreFormula)
{
    // Odd differences put source positions on exact halves: rounding ties in
    // the coordinates and in the blend, where the fast path must step aside.
    struct Case {
        Size source;
        Size destination;
    };
    const Case cases[] = { { { 4, 4 }, { 5, 5 } }, { { 5, 3 }, { 6, 8 } }, { { 13, 7 }, { 13, 7 } },
        { { 7, 13 }, { 12, 4 } }, { { 1, 9 }, { 4, 4 } }, { { 31, 17 }, { 40, 33 } } };
    const long double angles[] = { 0, 0.5L, 10, 33.3L, 45, -60, 90, 123, 180, -90.25L, 300 };
    uint32_t seed = 650;
    for (const Case& c : cases) {
        TPixelBuffer source;
        FillRandom(source, c.source, seed++);
        for (long double angle : angles) {
            TPixelBuffer fast;
            TPixelBuffer slow;
            FillRandom(fast, c.destination, seed);
            Copy(fast, slow);
            RotateBilinear(source, fast, c.destination.width / 2.0L, c.destination.height / 2.0L, angle);
            ReferenceRotateExactCentre(source, slow, angle);
            ASSERT_TRUE(SameBytes(fast, slow))
                << Describe(c.source) << " into " << Describe(c.destination) << " by " << double(angle);
        }
    }
}

TEST(RotateBilinear, ManyAnglesMatchTheRuleToTheByte)
{
    // About three million channel values: enough near-ties that any shortcut
    // rounding one of them differently from extended precision shows up.
    TPixelBuffer source;
    FillRandom(source, { 161, 120 }, 670);
    std::mt19937 random(671);
    for (int i = 0; i < 16; ++i) {
        const long double angle = static_cast<long double>(random() % 72000) / 100.0L - 360.0L;
        TPixelBuffer fast;
        ASSERT_TRUE(RotatedBounds(source, fast, angle));
        FillWhite(fast);
        TPixelBuffer slow;
        Copy(fast, slow);
        RotateBilinear(source, fast, fast.width() / 2.0L, fast.height() / 2.0L, angle);
        ReferenceRotateExactCentre(source, slow, angle);
        ASSERT_TRUE(SameBytes(fast, slow)) << "by " << double(angle);
    }
}

TEST(RotateBilinear, LargeAndOddCentresMatchTheFormula)
{
    // Off-centre and far-away centres take the all-extended path or the fast
    // one; both must agree with the rule.
    TPixelBuffer source;
    FillRandom(source, { 21, 14 }, 660);
    const long double centres[][2] = { { 3.25L, 7.75L }, { -5, 40 }, { 2e6L, 3 }, { 1e7L, -1e7L }, { 10.5L, 0.5L } };
    for (const auto& centre : centres)
        for (long double angle : { 15.0L, 90.0L, 200.0L }) {
            TPixelBuffer fast;
            TPixelBuffer slow;
            FillRandom(fast, { 30, 30 }, 661);
            Copy(fast, slow);
            RotateBilinear(source, fast, centre[0], centre[1], angle);
            ReferenceRotate(source, slow, centre[0], centre[1], 4.5L, 8, angle);
            ASSERT_TRUE(SameBytes(fast, slow))
                << double(centre[0]) << "," << double(centre[1]) << " by " << double(angle);
        }
}

TEST(RotateBilinear, UncoveredPixelsKeepTheirValue)
{
    TPixelBuffer source;
    FillUniform(source, { 20, 20 }, PixelBGR { 0, 0, 0 });
    TPixelBuffer destination;
    ASSERT_TRUE(RotatedBounds(source, destination, 45));
    FillUniform(destination, { destination.width(), destination.height() }, PixelBGR { 1, 2, 3 });
    RotateBilinear(source, destination, destination.width() / 2.0L, destination.height() / 2.0L, 45);
    EXPECT_EQ(destination.row(0)[0], (PixelBGR { 1, 2, 3 }));
    EXPECT_EQ(destination.row(destination.height() / 2)[destination.width() / 2], (PixelBGR { 0, 0, 0 }));
}

TEST(RotateBilinear, NonFiniteArgumentsTouchNothing)
{
    TPixelBuffer source;
    FillRandom(source, { 9, 4 }, 700);
    TPixelBuffer destination;
    TPixelBuffer before;
    FillRandom(destination, { 9, 4 }, 701);
    Copy(destination, before);
    RotateBilinear(source, destination, 4.5L, 2, NAN);
    RotateBilinear(source, destination, INFINITY, 2, 30);
    RotateBilinear(source, destination, 4.5L, -INFINITY, 30);
    RotateBilinear(source, destination, 1e30L, 2, 30);
    EXPECT_TRUE(SameBytes(destination, before));
}

} // namespace
} // namespace kaptivus::pixels::effects_test
