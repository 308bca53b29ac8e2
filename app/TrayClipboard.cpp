// The agent's paste: a picture another program (or this one) put on the
// clipboard becomes the capture and goes through the picture options.
#include "app/Tray.h"

#include "dialogs/ErrorReport.h"
#include "files/ClipboardPicture.h"
#include "files/ui/FileMessages.h"
#include "picture/Main.h"
#include "picture/PictureImage.h"

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

ClipboardRead clipboardPicture(const kaptivus::pixels::DeviceFormat& device)
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
    const auto* begin = reinterpret_cast<const uint8_t*>(bytes.constData());
    kaptivus::files::ReadResult read =
        kaptivus::files::ReadClipboardPicture(*type, {begin, size_t(bytes.size())}, screenBits());
    if (!read.ok())
        return {std::nullopt, QString::fromStdString("The picture on the clipboard (" + *type +
                                                     ") could not be read: " + read.error)};
    return {std::move(read.picture), {}};
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
