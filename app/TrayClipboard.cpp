// The agent's paste: a picture another program (or this one) put on the
// clipboard becomes the capture and goes through the picture options.
#include "app/Tray.h"

#include "dialogs/UserError.h"
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

// The clipboard's picture; nothing when it offers none. A picture that is
// offered but cannot be read is an error the user is told about.
std::optional<kaptivus::pixels::Picture> clipboardPicture(const kaptivus::pixels::DeviceFormat& device)
{
    const QClipboard* clipboard = QGuiApplication::clipboard();
    const QMimeData* data = clipboard->mimeData();
    if (!data) return std::nullopt;
    // Our own copy is taken as it was put there, without an encoding round trip.
    if (clipboard->ownsClipboard() && data->hasImage()) {
        const QImage image = qvariant_cast<QImage>(data->imageData());
        if (!image.isNull()) return kaptivus::picture::fromQImage(image, device);
    }
    std::vector<std::string> offered;
    for (const QString& format : data->formats()) offered.push_back(format.toStdString());
    const auto type = kaptivus::files::ChooseClipboardPictureType(offered);
    if (!type) return std::nullopt;
    const QByteArray bytes = data->data(QString::fromStdString(*type));
    const auto* begin = reinterpret_cast<const uint8_t*>(bytes.constData());
    kaptivus::files::ReadResult read =
        kaptivus::files::ReadClipboardPicture(*type, {begin, size_t(bytes.size())}, screenBits());
    if (!read.ok())
        throw kaptivus::dialogs::UserError("The picture on the clipboard (" + *type + ") could not be read: " +
                                           read.error);
    return std::move(read.picture);
}

} // namespace

void TTray1::PasteFromClipboard()
{
    if (!Main1) return;
    std::optional<kaptivus::pixels::Picture> picture = clipboardPicture(CaptureBitmap.device());
    if (!picture) {
        kaptivus::files::ui::ShowInformation(Main1, QStringLiteral("There is no Picture on the Clipboard"));
        return;
    }
    CaptureBitmap = std::move(*picture);
    Main1->ApplyPictureOptions(false, CaptureBitmap.width(), CaptureBitmap.height());
}
