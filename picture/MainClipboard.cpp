// The picture window's clipboard commands (the copy reaching the desktop's
// clipboard on X11 and Wayland) and the hand-off of the shown picture to the
// external bitmap editor.
#include "picture/Main.h"

#include "dialogs/ErrorReport.h"
#include "dialogs/SystemInfo.h"
#include "dialogs/WaitCursor.h"
#include "files/ui/Editor.h"
#include "files/ui/FileMessages.h"
#include "platform/CaptureBackend.h"
#include "platform/wayland/DataControl.h"

#include <QAction>
#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QImageWriter>
#include <QToolButton>

namespace {

// The types the X11 copy offers too, most faithful first.
const std::vector<std::string> kOfferedTypes = {"image/png", "image/bmp"};

kaptivus::platform::wayland::ClipboardBytes encoded(const QImage& image, std::string_view type)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, type == "image/png" ? "png" : "bmp");
    if (!writer.write(image)) return {};
    return {bytes.begin(), bytes.end()};
}

// A Wayland desktop gives its clipboard to a program only while one of its
// windows has the keyboard focus, unless it offers the data-control protocol;
// a capture by hotkey has no window of ours in front.
bool copyOnWayland(const QImage& image, QString& error)
{
    auto& control = kaptivus::platform::wayland::sessionDataControl();
    if (control.setSelection(kOfferedTypes, [image](std::string_view type) { return encoded(image, type); }))
        return true;
    if (QGuiApplication::focusWindow()) {
        QGuiApplication::clipboard()->setImage(image);
        return true;
    }
    error = QStringLiteral("The picture was not copied to the clipboard: the desktop gives no clipboard to a "
                           "program without a focused window.\n\n%1")
                .arg(QString::fromStdString(control.error()));
    return false;
}

} // namespace

void TMain1::connectClipboardHandlers()
{
    connect(CopyPicturetoClipboard1, &QAction::triggered, this, &TMain1::CopyPicturetoClipboard1Click);
    connect(ToolButton4, &QToolButton::clicked, this, &TMain1::ToolButton4Click);
    connect(PastePicturefromClipboard1, &QAction::triggered, this, &TMain1::PastePicturefromClipboard1Click);
    connect(ToolButton3, &QToolButton::clicked, this, &TMain1::ToolButton3Click);
    connect(ToolButton5, &QToolButton::clicked, this, &TMain1::ToolButton5Click);
    connect(EditthePicture1, &QAction::triggered, this, &TMain1::EditthePicture1Click);
    connect(DefinetheBmpEditor1, &QAction::triggered, this, &TMain1::DefinetheBmpEditor1Click);
}

bool TMain1::CopyToClipboard(bool onlyIfAutomatic)
{
    if (onlyIfAutomatic && !AutocopytoClipboard1->isChecked())
        return false;
    const QImage& image = Image1->image();
    if (image.isNull())
        return false;
    if (kaptivus::platform::currentSession() != kaptivus::platform::SessionKind::Wayland) {
        QGuiApplication::clipboard()->setImage(image);
        return true;
    }
    QString error;
    if (copyOnWayland(image, error)) return true;
    // The automatic copy runs on every change of an option: it says nothing,
    // but reports nothing copied either.
    if (!onlyIfAutomatic) kaptivus::dialogs::ReportError(error);
    return false;
}

void TMain1::CopyPicturetoClipboard1Click() { CopyToClipboard(false); }
void TMain1::ToolButton4Click() { CopyToClipboard(false); }

void TMain1::PastePicturefromClipboard1Click()
{
    if (m_agent)
        kaptivus::dialogs::ReportFailures([this] { m_agent->PasteFromClipboard(); });
}

void TMain1::ToolButton3Click() { PastePicturefromClipboard1Click(); }

void TMain1::ToolButton5Click()
{
    kaptivus::dialogs::ReportFailures([this] { handOffToEditor(); });
}

// The failures of the hand-off go to the error report; no program is started.
void TMain1::handOffToEditor()
{
    QString file;
    {
        kaptivus::dialogs::WaitCursor busy;
        kaptivus::pixels::Picture picture = shownPicture();
        // An editor reads plain 24-bit BMP; the conversion stays on the shown picture.
        using kaptivus::pixels::PixelFormat;
        if (picture.format() == PixelFormat::DeviceDefault || picture.format() == PixelFormat::Custom) {
            picture.convertTo(PixelFormat::Bits24);
            setShownPicture(picture);
        }
        const auto handOff = kaptivus::files::ui::WriteHandOffFile(SystemInfo1->TempDirectory(), picture);
        if (!handOff.error.isEmpty()) {
            kaptivus::dialogs::ReportError(handOff.error);
            return;
        }
        file = handOff.file;
    }
    const QString editor = m_agent ? m_agent->editor() : QString();
    kaptivus::files::ui::StartEditor(editor, file, this, [this] {
        kaptivus::files::ui::ShowSimpleMessage(this, QStringLiteral("Could Not start the BMP viewer !"), true);
    });
}

void TMain1::EditthePicture1Click() { ToolButton5Click(); }

void TMain1::DefinetheBmpEditor1Click()
{
    if (!m_agent)
        return;
    if (const auto chosen = kaptivus::files::ui::ChooseEditor(this, m_agent->editor()))
        m_agent->setEditor(*chosen);
    update();
}
