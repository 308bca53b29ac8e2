// The Screenshot portal's round trip, from the request to the picture in
// memory (the portal's file read and removed), against grim writing the
// same desktop as PNG, which is what the wlr portal runs for each request.
// Run inside a headless sway with the portals on a private bus:
//   scripts/swaysession.sh scripts/portalsession.sh scripts/swayclient.sh --agent build/kaptivus2000
//     build/bench/kaptivus_bench_wayland --benchmark_filter="Portal|Grim"
// The agent's whole `--capture 102` through the portal is BM_AgentCaptureToFile/png_portal.
#include "platform/portal/PortalPicture.h"
#include "platform/portal/PortalRequest.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdlib>

namespace {

namespace portal = kaptivus::platform::portal;

// The session bus and the request's event loop want an application object.
void ensureApplication()
{
    if (QCoreApplication::instance() != nullptr) return;
    static int argc = 1;
    static char name[] = "kaptivus_bench_wayland";
    static char* argv[] = { name, nullptr };
    static QCoreApplication app(argc, argv);
}

void BM_PortalRoundTrip(benchmark::State& state)
{
    if (std::getenv("DBUS_SESSION_BUS_ADDRESS") == nullptr) {
        state.SkipWithError("no session bus (run under scripts/portalsession.sh)");
        return;
    }
    ensureApplication();
    const auto roots = portal::removableRoots();
    int width = 0;
    for (auto _ : state) {
        const portal::ShotAnswer answer = portal::requestScreenshot(false, std::chrono::seconds(10));
        if (!answer.ok()) {
            state.SkipWithError(answer.error.c_str());
            return;
        }
        portal::PortalPicture picture = portal::readPortalPicture(answer.uri, roots);
        if (!picture.ok()) {
            state.SkipWithError(picture.error.c_str());
            return;
        }
        width = picture.picture.width();
        benchmark::DoNotOptimize(picture.picture.bits().data());
    }
    state.counters["width"] = double(width);
}
BENCHMARK(BM_PortalRoundTrip)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

} // namespace
