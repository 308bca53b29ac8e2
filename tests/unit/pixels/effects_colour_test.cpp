// The colour effects: their worked figures, and the fast loops against the
// literal tables on random pictures of awkward sizes.
#include "effects_reference.h"

#include <climits>
#include <functional>
#include <gtest/gtest.h>

namespace kaptivus::pixels::effects_test {
namespace {

// One row holding every byte value 0..255 in every channel (86 pixels).
void FillAllValues(TPixelBuffer& buffer)
{
    (void)buffer.Allocate(86, 1);
    for (int i = 0; i < 86 * 3; ++i)
        buffer.rowBytes(0)[i] = uint8_t(i % 256);
}

// What the effect makes of byte value v (all channels of a pixel set to v).
uint8_t MapOf(const std::function<void(TPixelBase&)>& effect, uint8_t v)
{
    TPixelBuffer buffer;
    FillUniform(buffer, { 1, 1 }, PixelBGR { v, v, v });
    effect(buffer);
    EXPECT_EQ(buffer.row(0)[0].b, buffer.row(0)[0].g);
    EXPECT_EQ(buffer.row(0)[0].b, buffer.row(0)[0].r);
    return buffer.row(0)[0].b;
}

// Runs effect and reference on the same random picture of every awkward size.
void ExpectMatchesReference(const std::function<void(TPixelBase&)>& effect,
    const std::function<void(TPixelBase&)>& reference, const std::string& what)
{
    uint32_t seed = 1;
    for (const Size& size : kAwkwardSizes) {
        TPixelBuffer fast;
        TPixelBuffer slow;
        FillRandom(fast, size, seed++);
        Copy(fast, slow);
        effect(fast);
        reference(slow);
        ASSERT_TRUE(SameBytes(fast, slow)) << what << " on " << Describe(size);
    }
}

TEST(ColourEffectsFigures, LightnessEnds)
{
    auto lighten = [](TPixelBase& b) { AdjustLightness(b, 255); };
    auto darken = [](TPixelBase& b) { AdjustLightness(b, -255); };
    EXPECT_EQ(MapOf(lighten, 0), 254);
    EXPECT_EQ(MapOf(lighten, 255), 255);
    EXPECT_EQ(MapOf(darken, 255), 1);
    EXPECT_EQ(MapOf(darken, 0), 0);
}

TEST(ColourEffectsFigures, ContrastKeeps128AndSplitsAt127)
{
    for (int a = -255; a <= 255; a += 17)
        EXPECT_EQ(MapOf([a](TPixelBase& b) { AdjustContrast(b, a); }, 128), 128) << "amount " << a;
    auto most = [](TPixelBase& b) { AdjustContrast(b, 255); };
    EXPECT_EQ(MapOf(most, 126), 125);
    EXPECT_EQ(MapOf(most, 127), 127);
    EXPECT_EQ(MapOf(most, 0), 0);
    EXPECT_EQ(MapOf(most, 255), 255);
}

TEST(ColourEffectsFigures, SaturationIdentityAndGrey)
{
    uint32_t seed = 7;
    for (const Size& size : kAwkwardSizes) {
        TPixelBuffer picture;
        TPixelBuffer expected;
        FillRandom(picture, size, seed++);
        Copy(picture, expected);
        AdjustSaturation(picture, 256);
        ASSERT_TRUE(SameBytes(picture, expected)) << "identity on " << Describe(size);

        AdjustSaturation(picture, 0);
        GreyScale(expected);
        ASSERT_TRUE(SameBytes(picture, expected)) << "grey on " << Describe(size);
    }
}

TEST(ColourEffectsFigures, GreyTruncates)
{
    TPixelBuffer buffer;
    FillUniform(buffer, { 1, 1 }, PixelBGR { 255, 255, 254 });
    GreyScale(buffer);
    EXPECT_EQ(buffer.row(0)[0], (PixelBGR { 254, 254, 254 }));
}

TEST(ColourEffectsFigures, InvertAndShiftEachChannel)
{
    TPixelBuffer buffer;
    FillUniform(buffer, { 3, 2 }, PixelBGR { 10, 20, 250 });
    ShiftChannels(buffer, 10, -30, 5); // red, green, blue
    EXPECT_EQ(buffer.row(1)[2], (PixelBGR { 15, 0, 255 }));
    InvertColors(buffer);
    EXPECT_EQ(buffer.row(0)[0], (PixelBGR { 240, 255, 0 }));
}

TEST(ColourEffectsMatchTables, EveryAmountOnEveryByteValue)
{
    // Includes amounts beyond the sliders' range, where the rule's 32-bit
    // products would overflow: the fast loops must still agree with the
    // rule computed without overflow.
    std::vector<int> amounts;
    for (int a = -300; a <= 600; ++a)
        amounts.push_back(a);
    for (int a : { 65535, 65536, 65537, 100000, -65537, -100000, INT_MAX, INT_MIN })
        amounts.push_back(a);
    TPixelBuffer source;
    FillAllValues(source);
    for (int a : amounts) {
        TPixelBuffer fast;
        TPixelBuffer slow;
        Copy(source, fast);
        Copy(source, slow);
        AdjustLightness(fast, a);
        ReferenceLightness(slow, a);
        ASSERT_TRUE(SameBytes(fast, slow)) << "lightness " << a;
        Copy(source, fast);
        Copy(source, slow);
        AdjustContrast(fast, a);
        ReferenceContrast(slow, a);
        ASSERT_TRUE(SameBytes(fast, slow)) << "contrast " << a;
        Copy(source, fast);
        Copy(source, slow);
        const int negated = a == INT_MIN ? INT_MAX : -a;
        ShiftChannels(fast, a, negated, a / 2);
        ReferenceShift(slow, a, negated, a / 2);
        ASSERT_TRUE(SameBytes(fast, slow)) << "shift " << a;
    }
}

TEST(ColourEffectsMatchTables, SaturationOverEveryAmount)
{
    std::vector<int> amounts;
    for (int a = -20; a <= 530; ++a)
        amounts.push_back(a);
    for (int a : { 65535, 65536, 65537, 1000000, -65537, -1000000, INT_MAX, INT_MIN })
        amounts.push_back(a);
    TPixelBuffer source;
    FillRandom(source, { 64, 48 }, 99);
    for (int a : amounts) {
        TPixelBuffer fast;
        TPixelBuffer slow;
        Copy(source, fast);
        Copy(source, slow);
        AdjustSaturation(fast, a);
        ReferenceSaturation(slow, a);
        ASSERT_TRUE(SameBytes(fast, slow)) << "saturation " << a;
    }
}

TEST(ColourEffectsMatchTables, AwkwardSizesKeepPadding)
{
    ExpectMatchesReference(
        [](TPixelBase& b) { AdjustLightness(b, 77); }, [](TPixelBase& b) { ReferenceLightness(b, 77); }, "lightness");
    ExpectMatchesReference([](TPixelBase& b) { AdjustLightness(b, -140); },
        [](TPixelBase& b) { ReferenceLightness(b, -140); }, "darkness");
    ExpectMatchesReference(
        [](TPixelBase& b) { AdjustContrast(b, -99); }, [](TPixelBase& b) { ReferenceContrast(b, -99); }, "contrast");
    ExpectMatchesReference([](TPixelBase& b) { AdjustSaturation(b, 400); },
        [](TPixelBase& b) { ReferenceSaturation(b, 400); }, "saturation");
    ExpectMatchesReference([](TPixelBase& b) { ShiftChannels(b, -40, 3, 200); },
        [](TPixelBase& b) { ReferenceShift(b, -40, 3, 200); }, "shift");
    ExpectMatchesReference(GreyScale, ReferenceGrey, "grey");
    ExpectMatchesReference(InvertColors, ReferenceInvert, "invert");
}

TEST(ColourExchange, MatchesReferenceOnFewColours)
{
    const std::vector<Color> colours = { 0x000000, 0xFFFFFF, 0x0000FF, 0x00FF0000, 0x123456, 0x123457 };
    uint32_t seed = 50;
    for (const Size& size : kAwkwardSizes) {
        for (auto [c1, c2] :
            { std::pair<Color, Color> { 0x000000, 0xFFFFFF }, { 0x123456, 0x123457 }, { 0x0000FF, 0x0000FF } }) {
            TPixelBuffer fast;
            TPixelBuffer slow;
            FillFewColours(fast, size, colours, seed++);
            Copy(fast, slow);
            ExchangeColors(fast, c1, c2);
            ReferenceExchange(slow, c1, c2, false);
            ASSERT_TRUE(SameBytes(fast, slow)) << "exchange on " << Describe(size);
            FillFewColours(fast, size, colours, seed++);
            Copy(fast, slow);
            SubstituteColor(fast, c1, c2);
            ReferenceExchange(slow, c1, c2, true);
            ASSERT_TRUE(SameBytes(fast, slow)) << "substitute on " << Describe(size);
        }
    }
}

TEST(ColourExchange, IsATrueSwapAndSameColourChangesNothing)
{
    TPixelBuffer buffer;
    (void)buffer.Allocate(3, 1);
    buffer.row(0)[0] = ColorToPixel(0x000000);
    buffer.row(0)[1] = ColorToPixel(0xFFFFFF);
    buffer.row(0)[2] = ColorToPixel(0x0000FF); // red
    ExchangeColors(buffer, 0x000000, 0xFFFFFF);
    EXPECT_EQ(buffer.row(0)[0], ColorToPixel(0xFFFFFF));
    EXPECT_EQ(buffer.row(0)[1], ColorToPixel(0x000000));
    EXPECT_EQ(buffer.row(0)[2], (PixelBGR { 0, 0, 255 }));

    uint32_t seed = 3;
    for (const Size& size : kAwkwardSizes) {
        TPixelBuffer before;
        FillFewColours(buffer, size, { 0x0000FF, 0x00FF00 }, seed++);
        Copy(buffer, before);
        ExchangeColors(buffer, 0x0000FF, 0x0000FF);
        ASSERT_TRUE(SameBytes(buffer, before)) << "same colour on " << Describe(size);
        ExchangeColors(buffer, 0x0000FF, 0x00FF00);
        ExchangeColors(buffer, 0x0000FF, 0x00FF00);
        ASSERT_TRUE(SameBytes(buffer, before)) << "swap twice on " << Describe(size);
    }
}

TEST(ColourExchange, SubstituteIsOneWay)
{
    TPixelBuffer buffer;
    (void)buffer.Allocate(2, 1);
    buffer.row(0)[0] = ColorToPixel(0x0000FF);
    buffer.row(0)[1] = ColorToPixel(0xFF0000);
    SubstituteColor(buffer, 0x0000FF, 0xFF0000);
    EXPECT_EQ(buffer.row(0)[0], (PixelBGR { 255, 0, 0 }));
    EXPECT_EQ(buffer.row(0)[1], (PixelBGR { 255, 0, 0 }));
}

} // namespace
} // namespace kaptivus::pixels::effects_test
