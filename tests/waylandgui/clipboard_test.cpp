// The clipboard on a Wayland desktop with no window of ours focused: a picture
// that wl-copy offers becomes the capture through "Coller", and where the
// desktop gives no clipboard at all, no copy is announced.
#include "DeskAgent.h"
#include "SwaySession.h"
#include "platform/wayland/DataControl.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QLabel>
#include <QProcess>
#include <gtest/gtest.h>

using namespace kaptivus::test;

// Every picture type is decoded alike (the X clipboard's tests go through
// them all); here the picture comes from another program over data-control.
TEST(WaylandClipboard, PictureOfferedByWlCopyBecomesTheCapture)
{
    DeskAgent agent;
    auto& control = kaptivus::platform::wayland::sessionDataControl();
    ASSERT_TRUE(control.isAvailable()) << control.error();
    QByteArray png;
    QBuffer buffer(&png);
    ASSERT_TRUE(buffer.open(QIODevice::WriteOnly) && asymmetricPicture().save(&buffer, "PNG"));
    QProcess copy;
    copy.start("wl-copy", { "--foreground", "--type", "image/png" });
    ASSERT_TRUE(copy.waitForStarted(5000));
    copy.write(png);
    copy.closeWriteChannel();
    ASSERT_TRUE(waitUntil([&] {
        const auto offered = control.offeredTypes();
        return !control.ownsSelection() && std::find(offered.begin(), offered.end(), "image/png") != offered.end();
    }));
    agent.main1.PastePicturefromClipboard1Click();
    EXPECT_EQ(firstDifference(asymmetricPicture(), kaptivus::picture::toQImage(agent.tray.captureBitmap())), "");
    copy.kill();
    copy.waitForFinished(5000);
}

TEST(WaylandClipboard, CopyWithNoClipboardToBeHadIsNotAnnouncedAsCopied)
{
    Weston weston; // no data-control: no clipboard at all for a program without a focused window
    ASSERT_TRUE(weston.isReady());
    namespace wl = kaptivus::platform::wayland;
    wl::setSessionDataControl(std::make_unique<wl::DataControl>(weston.socket().toStdString()));
    EXPECT_FALSE(wl::sessionDataControl().isAvailable());
    EXPECT_NE(wl::sessionDataControl().error().find("data-control"), std::string::npos);

    DeskAgent agent;
    agent.tray.chosen = asymmetricPicture();
    QStringList boxes;
    ModalWatcher watcher([&](QWidget* modal) {
        if (auto* label = modal->findChild<QLabel*>("qt_msgbox_label")) boxes << label->text();
        modal->close();
    });
    std::string reason; // told to the --capture that asked
    const struct {
        const char* name;
        std::function<void()> copy;
        const char* reason;
    } cases[] = {
        { "a capture routed to the clipboard",
            [&] { agent.tray.RequestCapture(109, [&](auto, const std::string& why) { reason = why; }); },
            "the desktop gives no clipboard to a program without a focused window" },
        { "the picture window's copy command", [&] { agent.main1.CopyPicturetoClipboard1Click(); }, "" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        boxes.clear();
        agent.info1.Label1->clear();
        ASSERT_EQ(QGuiApplication::focusWindow(), nullptr);
        c.copy();
        reason.clear();
        ASSERT_TRUE(waitUntil([&] { return !boxes.isEmpty(); })) << "no message";
        EXPECT_TRUE(waitUntil([&] { return reason == c.reason; })) << reason;
        EXPECT_TRUE(boxes[0].contains("without a focused window")) << boxes[0].toStdString();
        EXPECT_FALSE(agent.info1.Label1->text().contains("Copied"));
        EXPECT_FALSE(agent.tray.CaptureBusy);
    }
    wl::setSessionDataControl(nullptr);
}
