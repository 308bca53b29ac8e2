// The clipboard route's notice: "Picture Copied to the ClipBoard" only when a
// picture went there; an empty capture leaves the clipboard as it was.
#include "app/Tray.h"
#include "app/Wiring.h"
#include "dialogs/Info.h"
#include "picture/Main.h"

#include "XTest.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QMimeData>

#include <gtest/gtest.h>

namespace {

// An area "chosen" at once: the capture is the given picture.
class AgentWithChosenArea : public TTray1 {
public:
    bool CaptureArea() override
    {
        CaptureBitmap = chosen;
        return true;
    }
    kaptivus::pixels::Picture chosen;
};

} // namespace

TEST(ClipboardRoute, AnEmptyPictureIsNotAnnouncedAsCopied)
{
    AgentWithChosenArea tray;
    TMain1 main1{&tray};
    TInfo1 info1;
    WireWindows(tray, main1, info1);
    main1.FormCreate();
    main1.Sound1->setChecked(false);
    constexpr int kAreaToClipboard = 109;
    const struct {
        const char* name;
        kaptivus::pixels::Picture capture;
        bool copied;
    } cases[] = {
        {"an empty area", kaptivus::pixels::Picture(), false},
        {"a 6 x 4 area", kaptivus::pixels::Picture::create(6, 4, kaptivus::pixels::PixelFormat::Bits24), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QGuiApplication::clipboard()->setText(QStringLiteral("left by another program"));
        info1.hide();
        info1.Label1->clear();
        tray.chosen = c.capture;
        tray.HotkeyPressed(kAreaToClipboard);
        EXPECT_EQ(info1.isVisible(), c.copied);
        EXPECT_EQ(info1.Label1->text().startsWith(QStringLiteral("Picture Copied to the ClipBoard")), c.copied)
            << info1.Label1->text().toStdString();
        EXPECT_EQ(QGuiApplication::clipboard()->mimeData()->hasImage(), c.copied);
        EXPECT_FALSE(tray.CaptureBusy);
    }
    main1.hide();
}
