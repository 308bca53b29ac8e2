// The layout arithmetic of the Wayland grab, against small literal pictures.
#include "platform/wayland/WaylandOutputs.h"

#include <cstring>
#include <gtest/gtest.h>

namespace kaptivus::platform::wayland {
namespace {

// Colours 0xRRGGBB as literal rows; each test picture is asymmetric so that
// turns, flips and red/blue swaps all show.
using Rows = std::vector<std::vector<uint32_t>>;

struct Frame {
    std::vector<uint8_t> bytes;
    FrameView view;
};

// Writes rows as a compositor would: stride padded by 8 bytes, bottom-up when
// yInverted, red and blue swapped for the BGR formats.
Frame frameOf(const Rows& rows, FrameFormat format, bool yInverted)
{
    Frame f;
    const int h = int(rows.size());
    const int w = int(rows[0].size());
    const int stride = w * 4 + 8;
    f.bytes.assign(size_t(stride) * size_t(h), 0xEE);
    const bool bgr = format == FrameFormat::Xbgr8888 || format == FrameFormat::Abgr8888;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            uint32_t c = rows[size_t(y)][size_t(x)] | 0xFF000000u;
            if (bgr) c = (c & 0xFF00FF00u) | ((c >> 16) & 0xFF) | ((c & 0xFF) << 16);
            const int row = yInverted ? h - 1 - y : y;
            std::memcpy(f.bytes.data() + size_t(row) * size_t(stride) + size_t(x) * 4, &c, 4);
        }
    }
    f.view = FrameView { f.bytes.data(), w, h, stride, format, yInverted };
    return f;
}

Rows rowsOf(const pixels::Picture& p)
{
    Rows rows(size_t(p.height()), std::vector<uint32_t>(size_t(p.width())));
    for (int y = 0; y < p.height(); ++y) {
        for (int x = 0; x < p.width(); ++x) {
            const auto px = p.pixel(x, y);
            rows[size_t(y)][size_t(x)] = uint32_t(px.r) << 16 | uint32_t(px.g) << 8 | px.b;
        }
    }
    return rows;
}

constexpr uint32_t A = 0xFF0000, B = 0x00FF00, C = 0x0000FF, D = 0x112233, E = 0x445566, F = 0x778899;

TEST(WaylandOutputs, EveryTransformFormatAndRowOrderComposesUpright)
{
    const Rows upright { { A, B, C }, { D, E, F } };
    struct Case {
        int transform;
        Rows frame; // what the compositor holds for the upright picture
    };
    const std::vector<Case> cases {
        { 0, { { A, B, C }, { D, E, F } } }, { 1, { { C, F }, { B, E }, { A, D } } }, // a quarter turn anticlockwise
        { 2, { { F, E, D }, { C, B, A } } }, { 3, { { D, A }, { E, B }, { F, C } } }, // a quarter turn clockwise
        { 4, { { C, B, A }, { F, E, D } } }, // flipped left to right
    };
    for (const auto& c : cases) {
        for (auto format :
            { FrameFormat::Xrgb8888, FrameFormat::Argb8888, FrameFormat::Xbgr8888, FrameFormat::Abgr8888 }) {
            for (bool inverted : { false, true }) {
                SCOPED_TRACE(testing::Message()
                    << "transform " << c.transform << " format " << int(format) << " inverted " << inverted);
                const Frame f = frameOf(c.frame, format, inverted);
                const OutputInfo out { "X", { 0, 0, 3, 2 }, 1, f.view.width, f.view.height, c.transform };
                EXPECT_EQ(rowsOf(composeDesktop({ out }, { f.view })), upright);
            }
        }
    }
}

// A scale-1 output beside a scale-2 one: the picture is in the denser scale,
// the sparser output's pixels doubled, and what no output covers stays black.
TEST(WaylandOutputs, MixedScalesReplicatePixelsAndLeaveGapsBlack)
{
    const Frame one = frameOf({ { A, B } }, FrameFormat::Xrgb8888, false);
    const Frame two = frameOf({ { C, D }, { E, F } }, FrameFormat::Xrgb8888, false);
    const std::vector<OutputInfo> outputs { { "ONE", { 0, 0, 2, 1 }, 1, 2, 1, 0 },
        { "TWO", { 2, 1, 1, 1 }, 2, 2, 2, 0 } };
    EXPECT_EQ(compositionScale(outputs), 2);
    EXPECT_EQ(layoutBounds(outputs), (ScreenRect { 0, 0, 3, 2 }));
    const Rows expected {
        { A, A, B, B, 0, 0 },
        { A, A, B, B, 0, 0 },
        { 0, 0, 0, 0, C, D },
        { 0, 0, 0, 0, E, F },
    };
    EXPECT_EQ(rowsOf(composeDesktop(outputs, { one.view, two.view })), expected);
}

// An output scaled 1.5 says 2 through wl_output (a whole number, rounded up);
// its mode over its logical size is the truth. The picture takes that ratio
// when all outputs agree, and keeps every device pixel unreplicated; with
// mixed ratios the densest wins and the others are replicated.
TEST(WaylandOutputs, FractionalScaleKeepsEveryDevicePixel)
{
    struct Case {
        const char* name;
        std::vector<OutputInfo> outputs;
        std::vector<Rows> frames;
        double scale;
        Rows expected;
    };
    const std::vector<Case> cases {
        { "one output at 1.5", { { "ONE", { 0, 0, 2, 2 }, 2, 3, 3, 0 } }, { { { A, B, C }, { D, E, F }, { C, B, A } } },
            1.5, { { A, B, C }, { D, E, F }, { C, B, A } } },
        { "two outputs at 1.5 side by side",
            { { "ONE", { 0, 0, 2, 2 }, 2, 3, 3, 0 }, { "TWO", { 2, 0, 2, 2 }, 2, 3, 3, 0 } },
            { { { A, A, A }, { B, B, B }, { C, C, C } }, { { D, E, F }, { D, E, F }, { D, E, F } } }, 1.5,
            { { A, A, A, D, E, F }, { B, B, B, D, E, F }, { C, C, C, D, E, F } } },
        { "1 beside 1.5: the sparser output enlarged",
            { { "ONE", { 0, 0, 2, 2 }, 1, 2, 2, 0 }, { "TWO", { 2, 0, 2, 2 }, 2, 3, 3, 0 } },
            { { { A, B }, { C, D } }, { { E, E, E }, { F, F, F }, { E, E, E } } }, 1.5,
            { { A, A, B, E, E, E }, { A, A, B, F, F, F }, { C, C, D, E, E, E } } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<Frame> frames;
        std::vector<FrameView> views;
        for (const Rows& rows : c.frames)
            frames.push_back(frameOf(rows, FrameFormat::Xrgb8888, false));
        for (const Frame& f : frames)
            views.push_back(f.view);
        EXPECT_DOUBLE_EQ(compositionScale(c.outputs), c.scale);
        EXPECT_EQ(rowsOf(composeDesktop(c.outputs, views)), c.expected);
    }
}

TEST(WaylandOutputs, FramesAndLayoutsBeyondTheLimitsAreRefused)
{
    struct Case {
        int width, height, stride;
        bool acceptable;
    };
    const std::vector<Case> cases {
        { 1920, 1080, 7680, true },
        { 16384, 16384, 65536, true },
        { 0, 10, 0, false },
        { 10, -1, 40, false },
        { 10, 10, 39, false },
        { 16385, 1, 65540, false },
        { 16384, 16384, 65540, false },
        { 1, 1, INT32_MAX, false },
    };
    for (const auto& c : cases)
        EXPECT_EQ(isAcceptableFrame(c.width, c.height, c.stride), c.acceptable) << c.width << "x" << c.height;

    const Frame f = frameOf({ { A } }, FrameFormat::Xrgb8888, false);
    const OutputInfo out { "X", { 0, 0, 1, 1 }, 1, 1, 1, 0 };
    EXPECT_TRUE(composeDesktop({ out }, {}).isEmpty()) << "a frame missing";
    EXPECT_TRUE(
        composeDesktop({ out, OutputInfo { "FAR", { 40000, 0, 1, 1 }, 1, 1, 1, 0 } }, { f.view, f.view }).isEmpty())
        << "a layout too wide";
    EXPECT_TRUE(composeDesktop(
        { out, OutputInfo { "ABSURD", { INT32_MIN, INT32_MAX, INT32_MAX, 1 }, 1, 1, 1, 0 } }, { f.view, f.view })
                    .isEmpty())
        << "a place whose arithmetic would overflow";
    FrameView tooShortStride = f.view;
    tooShortStride.stride = 2;
    EXPECT_TRUE(composeDesktop({ out }, { tooShortStride }).isEmpty());
}

} // namespace
} // namespace kaptivus::platform::wayland
