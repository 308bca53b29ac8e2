// Print Screen with direct printing, in process: from the hotkey's handler to
// the job accepted by a queue of a private print system, for a full-HD desktop.
// The handler includes the capture's fixed 50 ms wait. Needs an X display of
// 1920 × 1080 (run it under scripts/xsession.sh); skips itself otherwise.
#include "PrivateCups.h"
#include "app/Tray.h"
#include "picture/Main.h"

#include <QAction>
#include <QApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

void BM_HotkeyToJobAccepted(benchmark::State& state)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        state.SkipWithError("no X display");
        return;
    }
    static int argc = 1;
    static char name[] = "kaptivus_bench";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    (void)app;
    QTemporaryDir settings;
    qputenv("XDG_CONFIG_HOME", settings.path().toLocal8Bit());
    kaptivus::test::PrivateCups cups;
    if (!cups.start() || !cups.addQueue(QStringLiteral("BenchPDF"), true)) {
        state.SkipWithError("the private print system did not start");
        return;
    }
    auto tray = std::make_unique<TTray1>();
    auto main1 = std::make_unique<TMain1>(tray.get());
    main1->FormCreate();
    main1->DirectPrintNoDialog1->setChecked(true);
    tray->DirectPrintNoDialog1->setChecked(true);
    main1->Sound1->setChecked(false);
    int jobs = 0;
    QObject::connect(main1.get(), &TMain1::copyPrinted, [&jobs] { ++jobs; });
    for (auto _ : state) {
        tray->CaptureBusy = true;
        tray->CaptureByHotkey(101);
    }
    if (jobs != int(state.iterations()))
        state.SkipWithError("a job was not accepted");
    state.counters["width"] = tray->CaptureBitmap.width();
    state.counters["height"] = tray->CaptureBitmap.height();
    main1.reset();
    tray.reset();
}
BENCHMARK(BM_HotkeyToJobAccepted)->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace
