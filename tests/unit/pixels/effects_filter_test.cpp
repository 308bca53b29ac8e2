// Emboss and the 3×3 convolution: uniform pictures, the literal walks on random
// pictures, and the small and empty buffers every effect must survive.
#include "effects_reference.h"

#include <functional>
#include <gtest/gtest.h>

namespace kaptivus::pixels::effects_test {
namespace {

TEST(Emboss, UniformPictureBecomes127)
{
    for (const Size& size : kAwkwardSizes)
        for (uint8_t v : { 0, 1, 127, 128, 200, 255 }) {
            TPixelBuffer buffer;
            FillUniform(buffer, size, PixelBGR { v, uint8_t(255 - v), uint8_t(v / 2) });
            EmbossPicture(buffer);
            for (int y = 0; y < size.height; ++y)
                for (int x = 0; x < size.width; ++x)
                    ASSERT_EQ(buffer.row(y)[x], (PixelBGR { 127, 127, 127 })) << Describe(size) << " value " << int(v);
        }
}

TEST(Emboss, MatchesThePointerWalk)
{
    uint32_t seed = 800;
    for (const Size& size : kAwkwardSizes) {
        if (size.width < 2 || size.height < 2) continue;
        TPixelBuffer fast;
        TPixelBuffer slow;
        FillRandom(fast, size, seed++);
        Copy(fast, slow);
        EmbossPicture(fast);
        ReferenceEmboss(slow);
        ASSERT_TRUE(SameBytes(fast, slow)) << Describe(size);
    }
}

// One pixel wide or high: the references clamp into the picture, as the
// pointer walk would if its first reference could not leave the picture.
TEST(Emboss, NarrowBuffersClampTheirReferences)
{
    TPixelBuffer column;
    FillRandom(column, { 1, 4 }, 900);
    TPixelBuffer before;
    Copy(column, before);
    EmbossPicture(column);
    auto embossed = [](uint8_t p, uint8_t q) { return uint8_t(((255 - q) + p) >> 1); };
    for (int y = 0; y < 4; ++y) {
        const PixelBGR ref = y < 2 ? before.row(y + 1)[0] : before.row(3)[0];
        const PixelBGR p = before.row(y)[0];
        ASSERT_EQ(column.row(y)[0], (PixelBGR { embossed(p.b, ref.b), embossed(p.g, ref.g), embossed(p.r, ref.r) }))
            << "row " << y;
    }

    TPixelBuffer row;
    FillRandom(row, { 5, 1 }, 901);
    Copy(row, before);
    EmbossPicture(row);
    const PixelBGR ref = before.row(0)[1];
    for (int x = 0; x < 5; ++x) {
        const PixelBGR p = before.row(0)[x];
        ASSERT_EQ(row.row(0)[x], (PixelBGR { embossed(p.b, ref.b), embossed(p.g, ref.g), embossed(p.r, ref.r) }))
            << "column " << x;
    }
}

TEST(Convolve, SharpenLeavesUniformPictures)
{
    for (const Size& size : kAwkwardSizes)
        for (uint8_t v : { 0, 3, 128, 254, 255 }) {
            TPixelBuffer buffer;
            TPixelBuffer before;
            FillUniform(buffer, size, PixelBGR { v, uint8_t(255 - v), uint8_t(v / 3) });
            Copy(buffer, before);
            Convolve3x3(buffer, SharpenKernel);
            ASSERT_TRUE(SameBytes(buffer, before)) << Describe(size) << " value " << int(v);
        }
}

TEST(Convolve, SharpenWorkedFigure)
{
    // A lone bright pixel in the middle of 3 × 3 grey: 160 × 200 - 5 × 8 × 100
    // = 28000, / 120 = 233 (truncated).
    TPixelBuffer buffer;
    FillUniform(buffer, { 3, 3 }, PixelBGR { 100, 100, 100 });
    buffer.row(1)[1] = PixelBGR { 200, 200, 200 };
    TPixelBuffer expected;
    Copy(buffer, expected);
    ReferenceConvolve(expected, SharpenKernel);
    Convolve3x3(buffer, SharpenKernel);
    EXPECT_TRUE(SameBytes(buffer, expected));
    // The top-left pixel goes first and sees only unchanged neighbours:
    // (160 × 100 - 5 × (7 × 100 + 200)) / 120 = 95.
    EXPECT_EQ(buffer.row(0)[0].b, 95);
}

TEST(Convolve, MatchesTheLiteralWalkForManyKernels)
{
    std::vector<Kernel3x3> kernels = { SharpenKernel, { 1, 1, 1, 1, 1, 1, 1, 1, 1 }, { 0, 0, 0, 0, 1, 0, 0, 0, 0 },
        { 1, 2, 3, -4, 5, -6, 7, 8, -9 }, { -1, 0, 1, -2, 0, 2, -1, 0, 1 }, // sum 0: divisor 1
        { 0, -3, 0, 0, -1, 0, 0, 0, 0 }, // negative divisor
        { 32767, 32767, 32767, 32767, 32767, 32767, 32767, 32767, 32767 },
        { -32768, 32767, -32768, 32767, 5, 32767, -32768, 32767, -32768 },
        { -32768, -32768, -32768, -32768, -32768, -32768, -32768, -32768, -32768 },
        { -32768, 1, 0, 0, 3, 0, 0, 0, 0 }, // negative divisor, most negative weight
        { 0, 7, 0, 0, 0, 0, 0, 0, 0 } }; // only the left neighbour
    std::mt19937 random(17);
    for (int i = 0; i < 20; ++i) {
        Kernel3x3 k;
        for (auto& w : k)
            w = int16_t(int(random() % 401) - 200);
        kernels.push_back(k);
    }
    uint32_t seed = 1000;
    for (const Kernel3x3& k : kernels)
        for (const Size& size : kAwkwardSizes) {
            TPixelBuffer fast;
            TPixelBuffer slow;
            FillRandom(fast, size, seed++);
            Copy(fast, slow);
            Convolve3x3(fast, k);
            ReferenceConvolve(slow, k);
            ASSERT_TRUE(SameBytes(fast, slow)) << Describe(size) << " kernel " << k[0] << "," << k[1] << "," << k[4];
        }
}

using Effect = std::function<void(TPixelBase&)>;

std::vector<std::pair<const char*, Effect>> EveryInPlaceEffect()
{
    return { { "lightness", [](TPixelBase& b) { AdjustLightness(b, 100); } },
        { "contrast", [](TPixelBase& b) { AdjustContrast(b, 100); } },
        { "saturation", [](TPixelBase& b) { AdjustSaturation(b, 100); } },
        { "shift", [](TPixelBase& b) { ShiftChannels(b, 1, 2, 3); } }, { "flip rows", FlipRows },
        { "flip columns", FlipColumns }, { "emboss", EmbossPicture },
        { "exchange", [](TPixelBase& b) { ExchangeColors(b, 0, 0xFFFFFF); } },
        { "substitute", [](TPixelBase& b) { SubstituteColor(b, 0, 0xFFFFFF); } },
        { "sharpen", [](TPixelBase& b) { Convolve3x3(b, SharpenKernel); } }, { "grey", GreyScale },
        { "invert", InvertColors } };
}

TEST(EmptyBuffers, EveryEffectDoesNothing)
{
    for (const Size& size : kEmptySizes)
        for (const auto& [name, effect] : EveryInPlaceEffect()) {
            TPixelBuffer buffer;
            (void)buffer.Allocate(size.width, size.height);
            effect(buffer);
            EXPECT_TRUE(buffer.isEmpty()) << name << " " << Describe(size);
        }
    TPixelBuffer empty;
    TPixelBuffer picture;
    FillRandom(picture, { 4, 4 }, 1);
    TPixelBuffer before;
    Copy(picture, before);
    RotateBilinear(empty, picture, 2, 2, 30);
    EXPECT_TRUE(SameBytes(picture, before));
    RotateBilinear(picture, empty, 0, 0, 30);
    TPixelBuffer bounds;
    EXPECT_TRUE(RotatedBounds(empty, bounds, 30));
    EXPECT_TRUE(bounds.isEmpty());
}

TEST(EmptyBuffers, OnePixelSurvivesEveryEffect)
{
    for (const auto& [name, effect] : EveryInPlaceEffect()) {
        TPixelBuffer buffer;
        FillRandom(buffer, { 1, 1 }, 2);
        effect(buffer);
        EXPECT_EQ(buffer.rowBytes(0)[3], kPaddingMark) << name;
    }
    TPixelBuffer pixel;
    FillRandom(pixel, { 1, 1 }, 3);
    TPixelBuffer turned;
    ASSERT_TRUE(RotatedBounds(pixel, turned, 45));
    EXPECT_EQ(turned.width(), 1);
    RotateBilinear(pixel, turned, 0.5L, 0.5L, 45);
    EXPECT_EQ(turned.row(0)[0], pixel.row(0)[0]);
}

} // namespace
} // namespace kaptivus::pixels::effects_test
