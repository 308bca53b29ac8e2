// The picture window's clipboard commands and the hand-off of the shown
// picture to the external bitmap editor.
#include "picture/Main.h"

#include "dialogs/ErrorReport.h"
#include "dialogs/SystemInfo.h"
#include "dialogs/WaitCursor.h"
#include "files/ui/Editor.h"
#include "files/ui/FileMessages.h"

#include <QAction>
#include <QToolButton>

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
