// The whole adjustment pipeline on a full-HD capture: once with every option
// neutral (the cost of simply showing a capture), once with every option on.
#include "bench/BenchFixtures.h"
#include "picture/AdjustPipeline.h"
#include "pixels/Picture.h"

#include <benchmark/benchmark.h>

namespace {

using kaptivus::picture::PictureOptions;
using kaptivus::picture::RunPipeline;

kaptivus::pixels::Picture FullHdCapture()
{
    kaptivus::pixels::TPixelBuffer buffer;
    kaptivus::bench::FillRealisticPicture(buffer, 1920, 1080);
    kaptivus::pixels::Picture capture =
        kaptivus::pixels::Picture::create(1920, 1080, kaptivus::pixels::PixelFormat::DeviceDefault);
    buffer.DrawTo(capture, 0, 0);
    return capture;
}

void RunPipelineBenchmark(benchmark::State& state, const PictureOptions& options)
{
    const kaptivus::pixels::Picture capture = FullHdCapture();
    for (auto _ : state) {
        kaptivus::picture::PipelineResult result = RunPipeline(capture, options, false, 1920, 1080);
        benchmark::DoNotOptimize(result.picture.bits().data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 1920 * 1080 * 3);
}

void BM_ApplyPictureOptionsNeutral(benchmark::State& state) { RunPipelineBenchmark(state, PictureOptions{}); }
BENCHMARK(BM_ApplyPictureOptionsNeutral)->Unit(benchmark::kMillisecond);

void BM_ApplyPictureOptionsAll(benchmark::State& state)
{
    PictureOptions options;
    options.brightness = 40;
    options.contrast = 30;
    options.saturation = 60;
    options.red = 10;
    options.green = -10;
    options.blue = 20;
    options.rotation = 45;
    options.flipVertical = true;
    options.flipHorizontal = true;
    options.emboss = true;
    options.exchange = true;
    options.substitute = true;
    options.sharpen = true;
    options.grey = true;
    options.invert = true;
    options.resizePercent = static_cast<int>(state.range(0));
    options.frame = 5;
    options.frameColor = 0x0000FF;
    options.colorsIndex = 3;
    RunPipelineBenchmark(state, options);
}
BENCHMARK(BM_ApplyPictureOptionsAll)->Arg(100)->Arg(50)->Unit(benchmark::kMillisecond);

} // namespace
