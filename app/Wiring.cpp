#include "app/Wiring.h"

#include "app/ConfigReset.h"
#include "app/Tray.h"
#include "dialogs/About.h"
#include "dialogs/Info.h"
#include "picture/Main.h"
#include "pixels/PixelBuffer.h"
#include "pixels/PixelEffects.h"
#include "platform/CaptureBackend.h"

#include <QAction>

namespace {

// "Plus": the shown picture sharpened once more, through a 24-bit buffer.
bool sharpenOnce(kaptivus::pixels::Picture& picture)
{
    kaptivus::pixels::TPixelBuffer buffer;
    if (!buffer.LoadFromBitmap(picture)) return false;
    kaptivus::pixels::Convolve3x3(buffer, kaptivus::pixels::SharpenKernel);
    buffer.DrawTo(picture, 0, 0);
    return true;
}

} // namespace

void WireWindows(TTray1& tray, TMain1& main1, TInfo1& info1)
{
    tray.Main1 = &main1;
    tray.Info1 = &info1;
    main1.repaintDesktop = [] { kaptivus::platform::captureBackend().repaintDesktop(); };
    main1.monitorCount = [] { return static_cast<int>(kaptivus::platform::captureBackend().monitors().size()); };
    main1.applyHideIconMode = [&tray](bool hidden) { tray.ApplyHideIconMode(hidden); };
    main1.sharpenOnce = sharpenOnce;
    main1.autoSaveTick = [&tray] { tray.AutoSaveTick(); };
    main1.saveSettings = {&tray.AutoFolder, &tray.DefaultFile, &tray.DefaultExt, &tray.Transparent};
    tray.setPrintJob([&main1] { main1.BitBtn1Click(); });

    QObject::connect(main1.Exit1, &QAction::triggered, &tray, &TTray1::Exit1Click);
    QObject::connect(main1.CleanupRegistryfromoldVersions1, &QAction::triggered, &tray,
                     [&tray] { RunConfigurationReset(tray); });
    QObject::connect(main1.About1, &QAction::triggered, &main1, [&main1] { ShowAboutBox(&main1); });
    QObject::connect(main1.GetPicturefromKaptivus1, &QAction::triggered, &tray,
                     &TTray1::GetPicturefromKaptivus1Click);
    QObject::connect(main1.DefineHotkeys1, &QAction::triggered, &main1, [&tray, &main1] { tray.DefineHotkeys(&main1); });
}
