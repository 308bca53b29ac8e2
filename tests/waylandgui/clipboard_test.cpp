// The clipboard on a Wayland desktop with no window of ours focused: a picture
// that wl-copy offers becomes the capture through "Coller", and where the
// desktop gives no clipboard at all, no copy is announced.
#include "DeskAgent.h"
#include "SwaySession.h"

#include "platform/wayland/DataControl.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImageWriter>
#include <QLabel>
#include <QProcess>

#include <gtest/gtest.h>

using namespace kaptivus::test;

namespace {

QByteArray encoded(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, format).write(image);
    return bytes;
}

// A JPEG written by libjpeg's own command-line encoder from a PPM, without
// chroma subsampling (which would blur the colours across the block edge).
QByteArray cjpeg(const QImage& image)
{
    QByteArray ppm = QStringLiteral("P6\n%1 %2\n255\n").arg(image.width()).arg(image.height()).toLatin1();
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            ppm += char(qRed(p));
            ppm += char(qGreen(p));
            ppm += char(qBlue(p));
        }
    const QStringList args = {QStringLiteral("-quality"), QStringLiteral("100"), QStringLiteral("-sample"),
        QStringLiteral("1x1")};
    return runProgram(QStringLiteral("cjpeg"), args, ppm).out;
}

// Big even blocks, so that a JPEG keeps its colours within a few levels.
QImage blockPicture()
{
    QImage image(32, 16, QImage::Format_RGB32);
    image.fill(qRgb(200, 40, 40));
    for (int y = 0; y < 16; ++y)
        for (int x = 16; x < 32; ++x) image.setPixel(x, y, qRgb(30, 60, 220));
    return image;
}

} // namespace

TEST(WaylandClipboard, PictureOfferedByWlCopyBecomesTheCapture)
{
    DeskAgent agent;
    auto& control = kaptivus::platform::wayland::sessionDataControl();
    ASSERT_TRUE(control.isAvailable()) << control.error();
    const struct {
        const char* type;
        QImage picture;
        QByteArray bytes;
        int tolerance;
    } cases[] = {
        {"image/png", asymmetricPicture(), encoded(asymmetricPicture(), "png"), 0},
        {"image/bmp", asymmetricPicture(), encoded(asymmetricPicture(), "bmp"), 0},
        {"image/jpeg", blockPicture(), cjpeg(blockPicture()), 6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        ASSERT_FALSE(c.bytes.isEmpty());
        QProcess copy;
        copy.start(QStringLiteral("wl-copy"), {QStringLiteral("--foreground"), QStringLiteral("--type"),
                                               QString::fromLatin1(c.type)});
        ASSERT_TRUE(copy.waitForStarted(5000));
        copy.write(c.bytes);
        copy.closeWriteChannel();
        ASSERT_TRUE(waitUntil([&] {
            const auto offered = control.offeredTypes();
            return !control.ownsSelection() && std::find(offered.begin(), offered.end(), c.type) != offered.end();
        }));
        agent.main1.PastePicturefromClipboard1Click();
        const QImage capture = kaptivus::picture::toQImage(agent.tray.captureBitmap());
        EXPECT_EQ(firstDifference(c.picture, capture, c.tolerance), "");
        copy.kill();
        copy.waitForFinished(5000);
    }
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
        if (auto* label = modal->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) boxes << label->text();
        modal->close();
    });
    std::string reason; // told to the --capture that asked
    const struct {
        const char* name;
        std::function<void()> copy;
        const char* reason;
    } cases[] = {
        {"a capture routed to the clipboard",
            [&] {
                agent.tray.RequestCapture(109, [&](auto, const std::string& why) { reason = why; });
            },
            "the desktop gives no clipboard to a program without a focused window"},
        {"the picture window's copy command", [&] { agent.main1.CopyPicturetoClipboard1Click(); }, ""},
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
        EXPECT_TRUE(boxes[0].contains(QStringLiteral("without a focused window"))) << boxes[0].toStdString();
        EXPECT_FALSE(agent.info1.Label1->text().contains(QStringLiteral("Copied")));
        EXPECT_FALSE(agent.tray.CaptureBusy);
    }
    wl::setSessionDataControl(nullptr);
}
