// The real agent, its picture window and its notice window, built in the test
// process on Qt's Wayland platform; an area capture "chooses" a given picture
// at once, so that no selector and no screen grab is needed.
#pragma once

#include "app/Tray.h"
#include "app/Wiring.h"
#include "dialogs/Info.h"
#include "picture/Main.h"
#include "picture/PictureImage.h"

#include <QAction>

namespace kaptivus::test::desk {

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
    TMain1 main1 {&tray};
    TInfo1 info1;
};

} // namespace kaptivus::test::desk
