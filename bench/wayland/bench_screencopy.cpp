// The screencopy grab of the whole desktop on the current Wayland display,
// against grim writing the same desktop as PPM, with a memcpy of one frame as
// the yardstick. Run inside a headless sway (one 1920x1080 output) for the
// figures: scripts/swaysession.sh scripts/swayclient.sh --agent build/kaptivus2000 build/bench/kaptivus_bench_wayland
#include "../RunBenchmarks.h"
#include "platform/wayland/WlrScreencopy.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstring>
#include <spawn.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {

using kaptivus::platform::wayland::WlrScreencopy;

// One connection, many grabs: what a resident agent pays per capture.
void BM_ScreencopyGrab(benchmark::State& state)
{
    WlrScreencopy copy;
    if (!copy.canCapture()) {
        state.SkipWithError(copy.isConnected() ? "no screencopy" : copy.error().c_str());
        return;
    }
    for (auto _ : state) {
        auto grab = copy.grabDesktop();
        if (!grab.ok()) {
            state.SkipWithError(grab.error.c_str());
            return;
        }
        benchmark::DoNotOptimize(grab.picture.bits().data());
    }
    state.counters["width"] = double(copy.grabDesktop().picture.width());
}
BENCHMARK(BM_ScreencopyGrab)->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseRealTime();

// A fresh connection every time: globals, outputs, then the grab.
void BM_ScreencopyConnectAndGrab(benchmark::State& state)
{
    for (auto _ : state) {
        WlrScreencopy copy;
        auto grab = copy.grabDesktop();
        if (!grab.ok()) {
            state.SkipWithError(grab.error.c_str());
            return;
        }
        benchmark::DoNotOptimize(grab.picture.bits().data());
    }
}
BENCHMARK(BM_ScreencopyConnectAndGrab)->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseRealTime();

// What a user would run instead: grim writing PPM (its cheapest format) to nowhere.
void BM_GrimPpm(benchmark::State& state)
{
    char grim[] = "grim";
    char type[] = "-t";
    char ppm[] = "ppm";
    char out[] = "/dev/null";
    char* argv[] = { grim, type, ppm, out, nullptr };
    for (auto _ : state) {
        pid_t pid = 0;
        int status = 0;
        if (posix_spawnp(&pid, "grim", nullptr, nullptr, argv, environ) != 0 || waitpid(pid, &status, 0) != pid
            || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("grim failed");
            return;
        }
    }
}
BENCHMARK(BM_GrimPpm)->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseRealTime();

void BM_MemcpyFrame(benchmark::State& state)
{
    std::vector<uint8_t> source(size_t(1920) * 1080 * 4, 0x5A);
    std::vector<uint8_t> destination(source.size());
    for (auto _ : state) {
        std::memcpy(destination.data(), source.data(), source.size());
        benchmark::DoNotOptimize(destination.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(source.size()));
}
BENCHMARK(BM_MemcpyFrame)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) { return kaptivus::bench::runBenchmarks(argc, argv); }
