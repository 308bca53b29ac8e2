// The picture window's file commands: saving through the Save dialog or to a
// given name, opening through the Open dialog or the recent-files history, and
// the default save settings dialog.
#include "picture/Main.h"

#include "dialogs/ErrorReport.h"
#include "dialogs/SystemInfo.h"
#include "dialogs/WaitCursor.h"
#include "files/PictureFiles.h"
#include "files/ui/Choose.h"
#include "files/ui/FileMessages.h"
#include "files/ui/PictureDialogs.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QScreen>
#include <QToolButton>

namespace files = kaptivus::files;
using kaptivus::dialogs::WaitCursor;

namespace {

std::string LocalName(const QString& name) { return QFile::encodeName(name).toStdString(); }
QString FromLocalName(const std::string& name) { return QFile::decodeName(QByteArray::fromStdString(name)); }

int ScreenDepth()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->depth() : 24;
}

using kaptivus::pixels::Picture;

const QString kSavedNotice = QStringLiteral("Picture Sucessfully Saved as  ");
const QString kNotSaved = QStringLiteral("The Picture could not be saved !");

} // namespace

void TMain1::connectFileHandlers()
{
    connect(SavethePicture1, &QAction::triggered, this, &TMain1::SavethePicture1Click);
    connect(ToolButton2, &QToolButton::clicked, this, &TMain1::ToolButton2Click);
    connect(LoadPicture1, &QAction::triggered, this, &TMain1::LoadPicture1Click);
    connect(ToolButton1, &QToolButton::clicked, this, &TMain1::ToolButton1Click);
    for (QAction* item : history)
        connect(item, &QAction::triggered, this, [this, item] { history1Click(item); });
    connect(ClearHistory1, &QAction::triggered, this, &TMain1::ClearHistory1Click);
    connect(DefaultSaveFolder1, &QAction::triggered, this, &TMain1::DefaultSaveFolder1Click);
}

// --- Saving -----------------------------------------------------------------------

bool TMain1::SavePictureToFile(const QString& fileName)
{
    std::function<void()> report;
    const SaveOutcome outcome = savePicture(fileName, files::SaveMode::Replace, report);
    if (report)
        report();
    return outcome == SaveOutcome::Saved;
}

bool TMain1::SavePictureToNewFile(const QString& fileName, bool& nameTaken, std::function<void()>& report)
{
    const SaveOutcome outcome = savePicture(fileName, files::SaveMode::NewFile, report);
    nameTaken = outcome == SaveOutcome::NameTaken;
    return outcome == SaveOutcome::Saved;
}

TMain1::SaveOutcome TMain1::savePicture(const QString& fileName, files::SaveMode mode, std::function<void()>& report)
{
    QCoreApplication::processEvents();
    files::SaveResult result;
    {
        WaitCursor busy;
        const std::string name = LocalName(fileName);
        const bool transparent = saveSettings.Transparent && *saveSettings.Transparent;
        if (shownIsCurrent()) {
            // Written from the shown picture itself, no copy; what the format
            // leaves on the picture (24 bits, the transparency mark) follows
            // once the file is there. Every pixel then reads as before, so the
            // image on screen stays; the depth in the status bar changes as
            // after a redraw.
            result = files::SavePictureFile(name, m_shown, transparent, mode);
            const auto format = m_shown.format();
            files::KeepSaveChanges(result.path, m_shown, transparent);
            if (m_shown.format() != format) {
                m_sizeFieldsDue = true;
                Image1->update();
            }
        } else {
            Picture picture = shownPicture();
            const auto format = picture.format();
            const bool marked = picture.transparent();
            result = files::SavePicture(name, picture, transparent, mode);
            if (picture.format() != format || picture.transparent() != marked)
                setShownPicture(picture);
        }
    }
    if (result.nameTaken)
        return SaveOutcome::NameTaken;
    if (!result.ok()) {
        const QString reason = FromLocalName(result.error);
        // A file the file system refused is no fault of the picture's type.
        if (result.fileError)
            report = [reason] { kaptivus::dialogs::ReportError(kNotSaved + QLatin1Char('\n') + reason); };
        else
            report = [this, reason] { files::ui::ShowInvalidPictureType(this, reason); };
        return SaveOutcome::Failed;
    }
    QCoreApplication::processEvents();
    SavePictureDialog1.InitialDir = FromLocalName(files::SplitFileName(result.path).folder);
    QCoreApplication::processEvents();
    if (m_agent)
        m_agent->ShowInfo(kSavedNotice + FromLocalName(result.path), 1);
    return SaveOutcome::Saved;
}

void TMain1::SavethePicture1Click()
{
    QCoreApplication::processEvents();
    const QString defaultExt = saveSettings.DefaultExt ? *saveSettings.DefaultExt : QStringLiteral(".GIF");
    // An unknown default keeps the filter the dialog is made with.
    QStringList filters = SaveFilterTable[0];
    for (size_t i = 0; i < SaveFilterTable.size(); ++i) {
        const std::string_view known = files::kDefaultExtensions[i];
        if (defaultExt == QLatin1String(known.data(), qsizetype(known.size())))
            filters = SaveFilterTable[i];
    }
    const auto savedName = [defaultExt](const QString& chosen, int filterIndex) {
        return FromLocalName(files::SavedFileName(LocalName(chosen), filterIndex, LocalName(defaultExt)));
    };
    const auto choice = files::ui::ExecSaveDialog(this, {SavePictureDialog1.Title, SavePictureDialog1.InitialDir,
                                                         SavePictureDialog1.FileName, filters, defaultExt, savedName});
    if (!choice)
        return;
    const std::string name =
        files::ApplyFilterExtension(LocalName(choice->fileName), choice->filterIndex, LocalName(defaultExt));
    SavePictureDialog1.FileName = FromLocalName(name);
    SavePictureToFile(SavePictureDialog1.FileName);
}

void TMain1::ToolButton2Click() { SavethePicture1Click(); }

// --- Opening ----------------------------------------------------------------------

bool TMain1::LoadPictureFromFile(const QString& fileName)
{
    files::LoadResult result;
    {
        WaitCursor busy;
        QCoreApplication::processEvents();
        result = files::LoadPicture(LocalName(fileName), ScreenDepth());
    }
    // The previous picture stays in CaptureBitmap and on screen when the file cannot be read.
    if (result.unknownType) {
        files::ui::ShowSimpleMessage(this, QStringLiteral("Can Not read Picture type"));
        return false;
    }
    if (!result.ok()) {
        kaptivus::dialogs::ReportError(FromLocalName(result.error));
        return false;
    }
    if (m_agent)
        m_agent->replaceCapture(std::move(result.picture));
    OpenPictureDialog1.InitialDir = QFileInfo(fileName).absolutePath() + QLatin1Char('/');
    return true;
}

void TMain1::LoadPicture1Click()
{
    QCoreApplication::processEvents();
    const auto choice = files::ui::ExecOpenDialog(this, {OpenPictureDialog1.Title, OpenPictureDialog1.InitialDir, {},
                                                         SaveFilterTable[0], QStringLiteral("gif"), {}});
    if (!choice || !LoadPictureFromFile(choice->fileName))
        return;
    rerunPipeline(false);
    enterInHistory(choice->fileName);
}

void TMain1::ToolButton1Click() { LoadPicture1Click(); }

// --- History ----------------------------------------------------------------------

void TMain1::markHistoryEntry(int index)
{
    for (size_t i = 0; i < history.size(); ++i)
        history[i]->setChecked(int(i) == index);
}

void TMain1::enterInHistory(const QString& fileName)
{
    const int size = int(history.size());
    if (m_historyNext < 0) {
        // At start the next slot follows the entries the settings filled.
        int filled = 0;
        for (QAction* item : history)
            filled += item->text().isEmpty() ? 0 : 1;
        m_historyNext = filled % size;
    }
    QAction* item = history[size_t(m_historyNext)];
    item->setText(fileName);
    item->setVisible(true);
    m_historyMarked = m_historyNext;
    markHistoryEntry(m_historyMarked);
    N9->setVisible(true);
    ClearHistory1->setVisible(true);
    m_historyNext = (m_historyNext + 1) % size;
}

void TMain1::history1Click(QAction* item)
{
    // Triggering a checkable item flips its mark; the mark stays where it was.
    markHistoryEntry(m_historyMarked);
    const QString fileName = item->text();
    const QFileInfo file(fileName);
    if (!file.exists() || file.isDir()) {
        files::ui::ShowSimpleMessage(this, QStringLiteral("The Selected Picture was not found !"), true);
        return;
    }
    if (LoadPictureFromFile(fileName))
        rerunPipeline(false);
}

void TMain1::ClearHistory1Click()
{
    for (QAction* item : history) {
        item->setText(QString());
        item->setVisible(false);
        item->setChecked(false);
    }
    m_historyNext = 0;
    m_historyMarked = -1;
    N9->setVisible(false);
    ClearHistory1->setVisible(false);
}

// --- Default save settings --------------------------------------------------------

void TMain1::DefaultSaveFolder1Click()
{
    TChoose1 dialog(saveSettings, SystemInfo1->TempDirectory(), this);
    dialog.exec();
}
