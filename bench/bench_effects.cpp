// Timings of every pixel effect on a full-HD picture, to be read as ratios to
// BM_Memcpy's CPU time in the same run. Each iteration restores the input from a pristine
// copy outside the timed region, so every iteration does the same work.
#include "bench/BenchFixtures.h"
#include "pixels/PixelEffects.h"

#include <benchmark/benchmark.h>
#include <cstring>
#include <ctime>
#include <functional>

namespace {

using kaptivus::pixels::TPixelBase;
using kaptivus::pixels::TPixelBuffer;

// The thread's own CPU time: on a machine shared with other work, wall time
// measures the neighbours as much as the effect.
double ThreadSeconds()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

const TPixelBuffer& Pristine()
{
    static TPixelBuffer picture;
    if (picture.isEmpty()) kaptivus::bench::FillRealisticPicture(picture, kWidth, kHeight);
    return picture;
}

// Times effect on a fresh copy of the picture; only the effect is timed.
void TimeInPlace(benchmark::State& state, const std::function<void(TPixelBase&)>& effect)
{
    const TPixelBuffer& pristine = Pristine();
    TPixelBuffer work;
    if (!work.AssignFrom(pristine)) {
        state.SkipWithError("no memory for the picture");
        return;
    }
    for (auto _ : state) {
        std::memcpy(work.data(), pristine.data(), static_cast<size_t>(pristine.size()));
        benchmark::ClobberMemory();
        const double start = ThreadSeconds();
        effect(work);
        benchmark::ClobberMemory();
        const double stop = ThreadSeconds();
        state.SetIterationTime(stop - start);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * pristine.size());
}

#define KAPTIVUS_EFFECT_BENCH(name, call)                                                                              \
    void name(benchmark::State& state)                                                                                 \
    {                                                                                                                  \
        TimeInPlace(state, [](TPixelBase& b) { call; });                                                               \
    }                                                                                                                  \
    BENCHMARK(name)->UseManualTime()->Unit(benchmark::kMicrosecond)

using namespace kaptivus::pixels;

KAPTIVUS_EFFECT_BENCH(BM_AdjustLightness, AdjustLightness(b, 60));
KAPTIVUS_EFFECT_BENCH(BM_AdjustContrast, AdjustContrast(b, 60));
KAPTIVUS_EFFECT_BENCH(BM_ShiftChannels, ShiftChannels(b, 30, -20, 10));
KAPTIVUS_EFFECT_BENCH(BM_InvertColors, InvertColors(b));
KAPTIVUS_EFFECT_BENCH(BM_FlipRows, FlipRows(b));
KAPTIVUS_EFFECT_BENCH(BM_FlipColumns, FlipColumns(b));
KAPTIVUS_EFFECT_BENCH(BM_AdjustSaturation, AdjustSaturation(b, 400));
KAPTIVUS_EFFECT_BENCH(BM_GreyScale, GreyScale(b));
KAPTIVUS_EFFECT_BENCH(BM_ExchangeColors, ExchangeColors(b, 0x141418, 0xFFFFFF));
KAPTIVUS_EFFECT_BENCH(BM_SubstituteColor, SubstituteColor(b, 0x141418, 0xFFFFFF));
KAPTIVUS_EFFECT_BENCH(BM_EmbossPicture, EmbossPicture(b));
KAPTIVUS_EFFECT_BENCH(BM_Convolve3x3, Convolve3x3(b, SharpenKernel));

// The destination is sized and whitened outside the timed region, as the
// pipeline does before it turns the picture.
void BM_RotateBilinear45(benchmark::State& state)
{
    const TPixelBuffer& source = Pristine();
    TPixelBuffer destination;
    if (!RotatedBounds(source, destination, 45)) {
        state.SkipWithError("no memory for the rotation");
        return;
    }
    const long double cx = destination.width() / 2.0L;
    const long double cy = destination.height() / 2.0L;
    for (auto _ : state) {
        std::memset(destination.data(), 255, static_cast<size_t>(destination.size()));
        benchmark::ClobberMemory();
        const double start = ThreadSeconds();
        RotateBilinear(source, destination, cx, cy, 45);
        benchmark::ClobberMemory();
        const double stop = ThreadSeconds();
        state.SetIterationTime(stop - start);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * source.size());
}
BENCHMARK(BM_RotateBilinear45)->UseManualTime()->Unit(benchmark::kMicrosecond);

} // namespace
