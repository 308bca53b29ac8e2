// The agent's paste: a picture another program (or this one) put on the
// clipboard becomes the capture and goes through the picture options. On
// Wayland the clipboard is also read without a focused window (data-control).
#include "app/Tray.h"

#include "dialogs/ErrorReport.h"
#include "files/ClipboardPicture.h"
#include "files/ui/FileMessages.h"
#include "picture/Main.h"
#include "picture/PictureImage.h"
#include "platform/CaptureBackend.h"
#include "platform/wayland/DataControl.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QScreen>

#include <optional>

namespace {

int screenBits()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->depth() : 24;
}

struct ClipboardRead {
    std::optional<kaptivus::pixels::Picture> picture; // nothing when none is offered
    QString error;                                    // a picture offered that cannot be read
};

ClipboardRead unreadable(const std::string& type, const std::string& error)
{
    return {std::nullopt, QString::fromStdString("The picture on the clipboard (" + type + ") could not be read: "
                                                 + error)};
}

ClipboardRead decoded(const std::string& type, const uint8_t* begin, size_t size)
{
    kaptivus::files::ReadResult read = kaptivus::files::ReadClipboardPicture(type, {begin, size}, screenBits());
    if (!read.ok()) return unreadable(type, read.error);
    return {std::move(read.picture), {}};
}

// Through the data-control protocol: what another Wayland program offers
// while none of our windows has the focus (Qt then sees nothing), or our own
// copy, read from memory rather than through the compositor.
ClipboardRead dataControlPicture()
{
    auto& control = kaptivus::platform::wayland::sessionDataControl();
    if (!control.isAvailable()) return {};
    const auto type = kaptivus::files::ChooseClipboardPictureType(control.offeredTypes());
    if (!type) return {};
    const auto read = control.read(*type, kaptivus::files::ReadLimits{}.maxFileBytes);
    if (!read.ok()) return unreadable(*type, read.error);
    if (!read.bytes) return {};
    return decoded(*type, read.bytes->data(), read.bytes->size());
}

ClipboardRead qtClipboardPicture(const kaptivus::pixels::DeviceFormat& device)
{
    const QClipboard* clipboard = QGuiApplication::clipboard();
    const QMimeData* data = clipboard->mimeData();
    if (!data) return {};
    // Our own copy is taken as it was put there, without an encoding round trip.
    if (clipboard->ownsClipboard() && data->hasImage()) {
        const QImage image = qvariant_cast<QImage>(data->imageData());
        if (!image.isNull()) return {kaptivus::picture::fromQImage(image, device), {}};
    }
    std::vector<std::string> offered;
    for (const QString& format : data->formats()) offered.push_back(format.toStdString());
    const auto type = kaptivus::files::ChooseClipboardPictureType(offered);
    if (!type) return {};
    const QByteArray bytes = data->data(QString::fromStdString(*type));
    return decoded(*type, reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()));
}

ClipboardRead clipboardPicture(const kaptivus::pixels::DeviceFormat& device)
{
    using kaptivus::platform::SessionKind;
    if (kaptivus::platform::currentSession() != SessionKind::Wayland) return qtClipboardPicture(device);
    // Our own data-control copy first: Qt would read it through the
    // compositor and wait on the very loop that has to answer it.
    if (kaptivus::platform::wayland::sessionDataControl().ownsSelection()) return dataControlPicture();
    ClipboardRead read = qtClipboardPicture(device);
    if (read.picture || !read.error.isEmpty()) return read;
    return dataControlPicture();
}

} // namespace

void TTray1::PasteFromClipboard()
{
    if (!Main1) return;
    ClipboardRead read = clipboardPicture(CaptureBitmap.device());
    // Reported here rather than thrown: the paste runs inside Qt's menu and
    // button code, which an exception must not cross.
    if (!read.error.isEmpty()) {
        kaptivus::dialogs::ReportError(read.error);
        return;
    }
    if (!read.picture) {
        kaptivus::files::ui::ShowInformation(Main1, QStringLiteral("There is no Picture on the Clipboard"));
        return;
    }
    CaptureBitmap = std::move(*read.picture);
    Main1->ApplyPictureOptions(false, CaptureBitmap.width(), CaptureBitmap.height());
}
