// One move of the area selector's frame on a two-monitor desktop picture
// (3840 x 1080): the old outline removed, the new one drawn.
#include "pixels/InvertedFrame.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

namespace {

void BM_FrameMove(benchmark::State& state)
{
    const int width = 3840, height = 1080;
    std::vector<uint32_t> rows(static_cast<size_t>(width) * height, 0xFF336699u);
    const kaptivus::pixels::PixelRows32 view{rows.data(), width, height, width};
    // A frame nearly as large as the desktop: the longest outlines a move draws.
    kaptivus::pixels::FrameCorners frame{20, 20, 3700, 1000};
    kaptivus::pixels::InvertDottedFrame(view, frame);
    int step = 0;
    for (auto _ : state) {
        kaptivus::pixels::InvertDottedFrame(view, frame);
        frame.x2 = 3700 + (step & 63);
        frame.y2 = 1000 + (step & 31);
        ++step;
        kaptivus::pixels::InvertDottedFrame(view, frame);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_FrameMove)->Unit(benchmark::kMicrosecond);

} // namespace
