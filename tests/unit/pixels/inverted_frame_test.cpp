// The selector's inverting frame: drawn twice it restores the rows exactly,
// drawn once it inverts dots of the outline only.
#include "pixels/InvertedFrame.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <vector>

using namespace kaptivus::pixels;

namespace {

struct Rows {
    int width;
    int height;
    int stride;
    std::vector<uint32_t> words;

    Rows(int w, int h, int padding) : width(w), height(h), stride(w + padding), words(size_t(stride) * size_t(h))
    {
        std::mt19937 random(7);
        for (uint32_t& word : words) word = random();
    }
    PixelRows32 view() { return {words.data(), width, height, stride}; }
};

struct FrameCase {
    const char* name;
    FrameCorners frame;
    int changed; // pixels inverted by one drawing in a 40 x 30 picture
};

} // namespace

TEST(InvertedFrame, DrawnTwiceRestoresExactly)
{
    const FrameCase cases[] = {
        {"small box", {0, 0, 3, 2}, 5},
        {"same box, corners swapped", {3, 2, 0, 0}, 5},
        {"one pixel", {4, 4, 4, 4}, 1},
        {"one pixel, odd place", {4, 5, 4, 5}, 0},
        {"one column", {10, 3, 10, 12}, 5},
        {"one row", {2, 7, 13, 7}, 6},
        {"whole picture", {0, 0, 39, 29}, 68},
        {"half outside to the upper left", {-5, -5, 5, 5}, 5},
        {"outside altogether", {50, 50, 60, 60}, 0},
        {"extreme corners", {INT_MIN, INT_MIN, INT_MAX, INT_MAX}, 0},
    };
    for (const FrameCase& c : cases) {
        Rows rows(40, 30, 3);
        const std::vector<uint32_t> before = rows.words;
        InvertDottedFrame(rows.view(), c.frame);
        int changed = 0;
        for (size_t i = 0; i < before.size(); ++i) {
            if (rows.words[i] == before[i]) continue;
            ++changed;
            const int x = int(i % size_t(rows.stride)), y = int(i / size_t(rows.stride));
            EXPECT_LT(x, rows.width) << c.name << ": the row padding was touched";
            EXPECT_EQ(rows.words[i], before[i] ^ 0x00FFFFFFu) << c.name << " at " << x << "," << y;
        }
        EXPECT_EQ(changed, c.changed) << c.name;
        InvertDottedFrame(rows.view(), c.frame);
        EXPECT_EQ(rows.words, before) << c.name;
    }
}

TEST(InvertedFrame, MovingAFrameLeavesOnlyTheNewOne)
{
    // A drag: each step removes the old frame and draws the new one; at the
    // end, removing the last frame gives the untouched picture back.
    Rows rows(64, 48, 0);
    const std::vector<uint32_t> before = rows.words;
    FrameCorners frame{20, 20, 20, 20};
    InvertDottedFrame(rows.view(), frame);
    for (int step = 0; step < 30; ++step) {
        InvertDottedFrame(rows.view(), frame);
        frame.x2 = 20 + (step * 7) % 60 - 10;
        frame.y2 = 20 + (step * 5) % 40 - 15;
        InvertDottedFrame(rows.view(), frame);
    }
    InvertDottedFrame(rows.view(), frame);
    EXPECT_EQ(rows.words, before);
}
