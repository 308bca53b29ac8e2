// JPEG saving and loading of the full-HD capture, beside cjpeg -quality 100
// and djpeg run on the same picture (a PPM of its pixels) in the same run.
#include "bench/bench_codec_support.h"
#include "files/JpegCodec.h"

#include <benchmark/benchmark.h>

namespace {

using namespace kaptivus;

void BM_SaveJpeg(benchmark::State& state)
{
    bench::RunSaveBenchmark(
        state, [](const pixels::Picture& p, files::ByteSink& sink) { return files::WriteJpeg(p, sink); });
}
BENCHMARK(BM_SaveJpeg)->Unit(benchmark::kMillisecond)->UseRealTime();

// The tool itself: process start, reading the PPM, encoding, writing to
// /dev/null. Its processor time is the tool_cpu_ms counter, to set beside
// BM_SaveJpeg's CPU column when other processes load the machine.
void BM_SaveJpegCjpegTool(benchmark::State& state)
{
    const bench::BenchFile ppm("kaptivus-bench-jpeg.ppm");
    ppm.write(bench::PpmBytes(bench::FullHdCapture()));
    const double before = bench::ChildCpuSeconds();
    for (auto _ : state)
        if (!bench::RunProgram({ "cjpeg", "-quality", "100", "-outfile", "/dev/null", ppm.path() }))
            state.SkipWithError("cjpeg did not run");
    state.counters["tool_cpu_ms"] = 1000 * (bench::ChildCpuSeconds() - before) / static_cast<double>(state.iterations());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 1920 * 1080 * 3);
}
BENCHMARK(BM_SaveJpegCjpegTool)->Unit(benchmark::kMillisecond)->UseRealTime();

std::vector<uint8_t> CaptureAsJpeg()
{
    files::MemorySink sink;
    (void)files::WriteJpeg(bench::FullHdCapture(), sink);
    return sink.bytes;
}

void BM_LoadJpeg(benchmark::State& state)
{
    const std::vector<uint8_t> bytes = CaptureAsJpeg();
    const int screenBits = static_cast<int>(state.range(0));
    for (auto _ : state) {
        files::ReadResult result = files::ReadJpeg(bytes, {}, screenBits);
        if (!result.ok()) state.SkipWithError("ReadJpeg failed");
        benchmark::DoNotOptimize(result.picture.bits().data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 1920 * 1080 * 3);
}
BENCHMARK(BM_LoadJpeg)->Arg(24)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LoadJpegDjpegTool(benchmark::State& state)
{
    const bench::BenchFile jpeg("kaptivus-bench-load.jpg");
    jpeg.write(CaptureAsJpeg());
    const double before = bench::ChildCpuSeconds();
    for (auto _ : state)
        if (!bench::RunProgram({ "djpeg", "-ppm", "-outfile", "/dev/null", jpeg.path() }))
            state.SkipWithError("djpeg did not run");
    state.counters["tool_cpu_ms"] = 1000 * (bench::ChildCpuSeconds() - before) / static_cast<double>(state.iterations());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 1920 * 1080 * 3);
}
BENCHMARK(BM_LoadJpegDjpegTool)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
