// The two resizes: the worked figures, awkward sizes, and byte-for-byte
// agreement with plain transcriptions of the fixed-point rules.
#include "buffer_fixtures.h"
#include "pixels/PixelFill.h"

#include <cmath>
#include <gtest/gtest.h>
#include <set>

namespace kaptivus::pixels {
namespace {

using namespace testing;

// The bilinear rule written out the plain way, in 32-bit integers.
void ReferenceBilinear(const TPixelBuffer& s, TPixelBuffer& d)
{
    const int32_t xs = ((s.width() - 1) * 32768) / d.width();
    const int32_t ys = ((s.height() - 1) * 32768) / d.height();
    for (int y = 0; y < d.height(); ++y) {
        const uint32_t fy = static_cast<uint32_t>(y) * static_cast<uint32_t>(ys);
        const int r = static_cast<int>(fy >> 15);
        const int wy = static_cast<int>(fy & 32767);
        const PixelBGR* up = s.row(r);
        const PixelBGR* lo = s.row(s.height() == 1 ? r : r + 1);
        for (int x = 0; x < d.width(); ++x) {
            const uint32_t fx = static_cast<uint32_t>(x) * static_cast<uint32_t>(xs);
            const int cl = static_cast<int>(fx >> 15);
            const int wx = static_cast<int>(fx & 32767);
            const int tr = (wx * (32768 - wy)) >> 15, tl = (32768 - wy) - tr;
            const int br = (wx * wy) >> 15, bl = wy - br;
            auto mix = [&](uint8_t PixelBGR::*c) {
                return static_cast<uint8_t>(
                    (up[cl].*c * tl + up[cl + 1].*c * tr + lo[cl].*c * bl + lo[cl + 1].*c * br) >> 15);
            };
            d.row(y)[x] = PixelBGR { mix(&PixelBGR::b), mix(&PixelBGR::g), mix(&PixelBGR::r) };
        }
    }
}

// The nearest-neighbour rule written out the plain way.
void ReferenceNearest(const TPixelBuffer& s, TPixelBuffer& d)
{
    const float fx = float(d.width()) / float(s.width());
    const float fy = float(d.height()) / float(s.height());
    if (fx >= 1 && fy >= 1) {
        const int nx = int(std::nearbyint(double(fx) + 0.5)), ny = int(std::nearbyint(double(fy) + 0.5));
        for (int i = 0; i < s.height(); ++i) {
            std::vector<PixelBGR> line(d.width());
            for (int j = 0; j < s.width(); ++j)
                for (int k = int(j * double(fx)); k < int(j * double(fx)) + nx && k < d.width(); ++k)
                    line[k] = s.row(i)[j];
            for (int r = int(i * double(fy)); r < int(i * double(fy)) + ny && r < d.height(); ++r)
                std::copy(line.begin(), line.end(), d.row(r));
        }
        return;
    }
    const int xs = (s.width() * 65536) / d.width(), ys = (s.height() * 65536) / d.height();
    for (int y = 0; y < d.height(); ++y)
        for (int x = 0; x < d.width(); ++x)
            d.row(y)[x] = s.row((y * ys) >> 16)[(x * xs) >> 16];
}

TEST(ResizeBilinear, TwoByTwoToFourByFourWeights)
{
    TPixelBuffer source, target;
    source.Allocate(2, 2);
    source.row(0)[0] = PixelBGR { 0, 0, 0 };
    source.row(0)[1] = PixelBGR { 200, 100, 40 };
    source.row(1)[0] = PixelBGR { 0, 0, 0 };
    source.row(1)[1] = PixelBGR { 200, 100, 40 };
    target.Allocate(4, 4);
    source.ResizeBilinear(target);
    // xs = 8192: column 3 samples column 0 with wx = 24576, three quarters of column 1.
    EXPECT_EQ(target.row(0)[3], (PixelBGR { 150, 75, 30 }));
    EXPECT_EQ(target.row(0)[1], (PixelBGR { 50, 25, 10 }));
    EXPECT_EQ(target.row(0)[0], (PixelBGR { 0, 0, 0 }));
    // Never the last source column exactly.
    for (int y = 0; y < 4; ++y)
        EXPECT_NE(target.row(y)[3], source.row(0)[1]);
}

TEST(ResizeBilinear, SameSizeCopiesTheBytes)
{
    TPixelBuffer source, target;
    FillRandom(source, 13, 7, 1);
    target.Allocate(13, 7);
    source.ResizeBilinear(target);
    EXPECT_EQ(Bytes(target), Bytes(source));
}

TEST(ResizeBilinear, OnePixelWideSourceReplicatesItsColumn)
{
    TPixelBuffer source, target;
    FillRandom(source, 1, 3, 2);
    target.Allocate(5, 6);
    source.ResizeBilinear(target);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(target.row(y)[x], source.row(y / 2)[0]) << x << "," << y;
}

TEST(ResizeBilinear, MatchesThePlainRuleOnRandomPictures)
{
    std::mt19937 random(7);
    for (int round = 0; round < 60; ++round) {
        const int sw = 2 + int(random() % 90), sh = 1 + int(random() % 70);
        const int dw = 1 + int(random() % 150), dh = 1 + int(random() % 120);
        TPixelBuffer source, fast, plain;
        FillRandom(source, sw, sh, random());
        fast.Allocate(dw, dh);
        plain.Allocate(dw, dh);
        source.ResizeBilinear(fast);
        ReferenceBilinear(source, plain);
        ASSERT_EQ(Bytes(fast), Bytes(plain)) << sw << "x" << sh << " -> " << dw << "x" << dh;
    }
}

TEST(ResizeBilinear, FullHdHalfAndDoubleMatchThePlainRule)
{
    TPixelBuffer source;
    FillRandom(source, 1920, 1080, 11);
    for (auto [dw, dh] : { std::pair { 960, 540 }, std::pair { 3840, 2160 } }) {
        TPixelBuffer fast, plain;
        fast.Allocate(dw, dh);
        plain.Allocate(dw, dh);
        source.ResizeBilinear(fast);
        ReferenceBilinear(source, plain);
        ASSERT_EQ(Bytes(fast), Bytes(plain)) << dw;
    }
}

TEST(ResizeNearest, EnlargeFigures)
{
    TPixelBuffer source, target;
    FillRandom(source, 2, 1, 3);
    const PixelBGR a = source.row(0)[0], b = source.row(0)[1];
    // fx = 2.5: each pixel is written Round(3.0) = 3 times from Trunc(j × 2.5).
    target.Allocate(5, 1);
    source.ResizeNearest(target);
    EXPECT_EQ(std::vector<PixelBGR>(target.row(0), target.row(0) + 5), (std::vector<PixelBGR> { a, a, b, b, b }));

    // 2 × 2 -> 4 × 4: fx = 2 gives Round(2.5) = 2 (ties to even): 2 × 2 blocks.
    FillRandom(source, 2, 2, 4);
    target.Allocate(4, 4);
    source.ResizeNearest(target);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(target.row(y)[x], source.row(y / 2)[x / 2]);
}

TEST(ResizeNearest, ShrinkFigures)
{
    TPixelBuffer source, target;
    FillRandom(source, 5, 5, 5);
    target.Allocate(2, 2);
    source.ResizeNearest(target); // xs = ys = 163840: 0 and 2
    EXPECT_EQ(target.row(0)[0], source.row(0)[0]);
    EXPECT_EQ(target.row(0)[1], source.row(0)[2]);
    EXPECT_EQ(target.row(1)[1], source.row(2)[2]);

    // Wider but lower takes the fixed-point branch both ways.
    FillRandom(source, 2, 4, 6);
    target.Allocate(4, 2);
    source.ResizeNearest(target);
    EXPECT_EQ(target.row(0)[1], source.row(0)[0]);
    EXPECT_EQ(target.row(0)[2], source.row(0)[1]);
    EXPECT_EQ(target.row(1)[3], source.row(2)[1]);
}

TEST(ResizeNearest, SameSizeCopiesAndRandomSizesMatchThePlainRule)
{
    TPixelBuffer source, target;
    FillRandom(source, 9, 4, 8);
    target.Allocate(9, 4);
    source.ResizeNearest(target);
    EXPECT_EQ(Bytes(target), Bytes(source));

    std::mt19937 random(9);
    for (int round = 0; round < 80; ++round) {
        const int sw = 1 + int(random() % 60), sh = 1 + int(random() % 60);
        const int dw = 1 + int(random() % 150), dh = 1 + int(random() % 150);
        TPixelBuffer fast, plain;
        FillRandom(source, sw, sh, random());
        fast.Allocate(dw, dh);
        plain.Allocate(dw, dh);
        source.ResizeNearest(fast);
        ReferenceNearest(source, plain);
        ASSERT_EQ(Bytes(fast), Bytes(plain)) << sw << "x" << sh << " -> " << dw << "x" << dh;
    }
}

// Plain 32-bit arithmetic would overflow on sources this wide: source width ×
// 65536 from 32768 pixels on, (width - 1) × 32768 from 65537 on.
TEST(ResizeWideSources, StepsDoNotOverflow)
{
    TPixelBuffer source, target;
    FillRandom(source, 40000, 1, 13);
    target.Allocate(3, 1);
    source.ResizeNearest(target);
    EXPECT_EQ(target.row(0)[1], source.row(0)[13333]);
    EXPECT_EQ(target.row(0)[2], source.row(0)[26666]);

    FillRandom(source, 70000, 1, 14);
    source.ResizeBilinear(target); // xs = 764575744: columns 23333 and 46666 exactly
    EXPECT_EQ(target.row(0)[0], source.row(0)[0]);
    EXPECT_EQ(target.row(0)[1], source.row(0)[23333]);
    EXPECT_EQ(target.row(0)[2], source.row(0)[46666]);
}

// Every destination pixel of an enlargement is written: none keeps the
// destination's previous content.
TEST(ResizeNearest, EnlargingCoversEveryPixel)
{
    for (int sw = 1; sw <= 24; ++sw)
        for (int dw = sw; dw <= 80; dw += 1 + dw / 10) {
            TPixelBuffer source, target;
            source.Allocate(sw, 2);
            FillArea(source, 0, 0, sw, 2, kWhite);
            target.Allocate(dw, 2 * dw / sw + 2);
            source.ResizeNearest(target);
            for (int y = 0; y < target.height(); ++y)
                for (int x = 0; x < dw; ++x)
                    ASSERT_EQ(target.row(y)[x], kWhite) << sw << "->" << dw << " at " << x;
        }
}

// 0 × 0, 1 × 1, 1 × n, n × 1 and odd widths in every combination: results
// hold only source colours where the rule picks pixels, and the row padding
// is never touched except by a same-size copy.
TEST(ResizeAwkwardSizes, EveryCombinationIsSound)
{
    const std::pair<int, int> sizes[]
        = { { 0, 0 }, { 0, 3 }, { 3, 0 }, { 1, 1 }, { 1, 5 }, { 5, 1 }, { 7, 3 }, { 3, 7 }, { 2, 1 } };
    for (auto [sw, sh] : sizes)
        for (auto [dw, dh] : sizes)
            for (bool bilinear : { false, true }) {
                TPixelBuffer source, target;
                FillRandom(source, sw, sh, 12);
                target.Allocate(dw, dh);
                FillArea(target, 0, 0, dw, dh, PixelBGR { 1, 2, 3 });
                MarkPadding(target, 0xEE);
                if (bilinear)
                    source.ResizeBilinear(target);
                else
                    source.ResizeNearest(target);
                // Equal sizes copy the whole memory, padding included.
                if (sw != dw || sh != dh) {
                    ASSERT_TRUE(PaddingIs(target, 0xEE)) << sw << "x" << sh << "->" << dw << "x" << dh;
                }
                std::set<uint32_t> colours;
                for (int y = 0; y < sh; ++y)
                    for (int x = 0; x < sw; ++x) {
                        const PixelBGR p = source.row(y)[x];
                        colours.insert(p.b | p.g << 8 | p.r << 16);
                    }
                for (int y = 0; y < dh; ++y)
                    for (int x = 0; x < dw; ++x) {
                        const PixelBGR p = target.row(y)[x];
                        if (source.isEmpty()) {
                            EXPECT_EQ(p, (PixelBGR { 1, 2, 3 })); // an empty source leaves the destination
                        } else if (!bilinear || sw == 1 || (sw == dw && sh == dh)) {
                            EXPECT_TRUE(colours.count(p.b | p.g << 8 | p.r << 16))
                                << sw << "x" << sh << "->" << dw << "x" << dh;
                        }
                    }
            }
}

} // namespace
} // namespace kaptivus::pixels
