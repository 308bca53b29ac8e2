// The real agent, its picture window and its notice window, built in the test
// process on the toolkit's Wayland platform; an area capture "chooses" a given
// picture at once, so that no selector and no screen grab is needed.
#pragma once

#include "../support/ModalWatcher.h"
#include "SwayTools.h"
#include "app/Tray.h"
#include "app/Wiring.h"
#include "dialogs/Info.h"
#include "picture/Main.h"
#include "picture/PictureImage.h"

#include <QAction>
#include <QApplication>
#include <functional>

namespace kaptivus::test {

class AgentWithChosenArea : public TTray1 {
public:
    bool CaptureArea() override
    {
        CaptureBitmap = kaptivus::picture::fromQImage(chosen, CaptureBitmap.device());
        return true;
    }
    QImage chosen;
};

struct DeskAgent {
    DeskAgent()
    {
        WireWindows(tray, main1, info1);
        main1.FormCreate();
        main1.Sound1->setChecked(false);
    }
    ~DeskAgent() { main1.hide(); }
    AgentWithChosenArea tray;
    TMain1 main1 { &tray };
    TInfo1 info1;
};

// A 6 x 5 picture whose every pixel differs and whose corners are red, green,
// blue and white, so that flips and channel swaps show.
inline QImage asymmetricPicture()
{
    QImage image(6, 5, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb(40 * x + 10, 50 * y + 5, 90 + 7 * x + 11 * y));
    image.setPixel(0, 0, qRgb(255, 0, 0));
    image.setPixel(5, 0, qRgb(0, 255, 0));
    image.setPixel(0, 4, qRgb(0, 0, 255));
    image.setPixel(5, 4, qRgb(255, 255, 255));
    return image;
}

} // namespace kaptivus::test
