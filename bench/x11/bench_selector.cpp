// The area selector from its creation to taking the keyboard and the pointer
// on the current X display: the desktop snapshot, the window over every
// monitor, the grabs. Run it on the desktop to measure (for the figures: a
// 3840 x 1080 screen split into two monitors).
#include "select/Rectangle.h"

#include "platform/Screen.h"

#include <QApplication>
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
    for (auto _ : state) {
        kaptivus::select::TRectangle1 selector(selection, desktop);
        // Ends as soon as the selector holds the pointer and the keyboard.
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &selector, [&selector] {
            if (QWidget::mouseGrabber() == &selector && QWidget::keyboardGrabber() == &selector) selector.done(0);
        });
        poll.start(0);
        selector.exec();
    }
    state.counters["monitors"] = static_cast<double>(kaptivus::platform::monitors().size());
    state.counters["width"] = desktop.width;
}
BENCHMARK(BM_SelectorTakingInput)->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace

int main(int argc, char** argv)
{
#ifndef __OPTIMIZE__
    std::fprintf(stderr, "built without optimisation; rebuild with -DCMAKE_BUILD_TYPE=Release to measure.\n");
    (void)argc;
    (void)argv;
    return 1;
#else
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
#endif
}
