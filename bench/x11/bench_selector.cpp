// The area selector from its creation to taking the keyboard and the pointer
// on the current X display: the desktop snapshot, the window over every
// monitor, the grabs. Run it on the desktop to measure (for the figures: a
// 3840 x 1080 screen split into two monitors).
#include "../RunBenchmarks.h"
#include "select/Rectangle.h"

#include "platform/Screen.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QWindow>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

void BM_SelectorTakingInput(benchmark::State& state)
{
    if (!kaptivus::platform::screenAvailable()) {
        state.SkipWithError("no X display");
        return;
    }
    kaptivus::select::AreaSelection selection;
    const auto desktop = kaptivus::platform::virtualDesktop();
    QElapsedTimer clock;
    double made = 0, exposed = 0;
    for (auto _ : state) {
        clock.start();
        kaptivus::select::TRectangle1 selector(selection, desktop);
        made += static_cast<double>(clock.nsecsElapsed()) / 1e6;
        bool seen = false;
        // Ends as soon as the selector holds the pointer and the keyboard.
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &selector, [&] {
            if (!seen && selector.windowHandle() && selector.windowHandle()->isExposed()) {
                seen = true;
                exposed += static_cast<double>(clock.nsecsElapsed()) / 1e6;
            }
            if (selector.holdsInput()) selector.reject();
        });
        poll.start(0);
        selector.exec();
    }
    // Where the time goes: the snapshot and the window made; then on screen.
    state.counters["made_ms"] = made / static_cast<double>(state.iterations());
    state.counters["exposed_ms"] = exposed / static_cast<double>(state.iterations());
    state.counters["monitors"] = static_cast<double>(kaptivus::platform::monitors().size());
    state.counters["width"] = desktop.width;
}
BENCHMARK(BM_SelectorTakingInput)->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    return kaptivus::bench::runBenchmarks(argc, argv);
}
