// The benchmark program's entry point and its yardstick, a plain copy of a
// full-HD 24-bit buffer. Refuses to run when built without optimisation,
// since unoptimised timings only mislead.
#include "RunBenchmarks.h"
#include "bench/BenchFixtures.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

void BM_Memcpy(benchmark::State& state)
{
    kaptivus::pixels::TPixelBuffer source;
    kaptivus::bench::FillRealisticPicture(source, 1920, 1080);
    std::vector<uint8_t> destination(static_cast<size_t>(source.size()));
    for (auto _ : state) {
        std::memcpy(destination.data(), source.data(), destination.size());
        benchmark::DoNotOptimize(destination.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * source.size());
}
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) { return kaptivus::bench::runBenchmarks(argc, argv); }
