// The agent's printing routes: direct printing of a print-or-show capture and
// the tray command that prints the whole desktop. The print job itself is the
// picture window's.
#include "app/Tray.h"

#include "picture/Main.h"

void TTray1::PrintWithoutWindow()
{
    Main1->BitBtn1Click();
    // The gate opens when the picture window closes. A window that was never
    // shown and stays closed (no close after printing, or a job that failed)
    // would otherwise keep every later hotkey out for good.
    if (!Main1->isVisible())
        releaseCaptureGate();
}

void TTray1::PrintWholeDesktop()
{
    if (!Main1)
        return;
    CaptureDesktop();
    Main1->ApplyPictureOptions(false, CaptureBitmap.width(), CaptureBitmap.height());
    Main1->BitBtn1Click();
}
