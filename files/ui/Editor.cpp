#include "files/ui/Editor.h"

#include "config/DurableFile.h"
#include "files/BmpCodec.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <cstdlib>
#include <unistd.h>

namespace kaptivus::files::ui {

QString HandOffFileName(const QString& folder) { return folder + QStringLiteral("~MyBitmap.Bmp"); }

namespace {

std::string LocalName(const QString& name) { return QFile::encodeName(name).toStdString(); }
QString FromLocalName(const std::string& name) { return QFile::decodeName(QByteArray::fromStdString(name)); }

// A folder that only this user can enter, so no other user can plant or swap
// the hand-off file: the runtime folder, else one of the user's own under the
// temporary folder, else (that name taken by someone else) a fresh one there.
QString PrivateFolder(const QString& tempFolder, QString& error)
{
    const QString own = tempFolder + QStringLiteral("kaptivus2000-%1").arg(::geteuid());
    QStringList candidates{own};
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (QDir::isAbsolutePath(runtime))
        candidates.prepend(runtime);
    for (const QString& folder : candidates) {
        const config::Status usable = config::ensurePrivateFolder(LocalName(folder));
        if (usable)
            return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
        error = FromLocalName(usable.error);
    }
    QByteArray pattern = QFile::encodeName(own + QStringLiteral("-XXXXXX"));
    if (::mkdtemp(pattern.data()) != nullptr)
        return QFile::decodeName(pattern) + QLatin1Char('/');
    return {};
}

} // namespace

HandOffResult WriteHandOffFile(const QString& tempFolder, const pixels::Picture& picture)
{
    HandOffResult result;
    const QString folder = PrivateFolder(tempFolder, result.error);
    if (folder.isEmpty())
        return result;
    result.error.clear();
    result.file = HandOffFileName(folder);
    MemorySink sink;
    if (const CodecStatus encoded = WriteBmp(picture, sink); !encoded) {
        result.error = QStringLiteral("Cannot write %1: %2").arg(result.file, QString::fromStdString(encoded.error));
        return result;
    }
    const std::string_view bytes(reinterpret_cast<const char*>(sink.bytes.data()), sink.bytes.size());
    const config::Status written = config::replaceOwnFile(LocalName(result.file), bytes);
    if (!written)
        result.error = FromLocalName(written.error);
    return result;
}

void StartEditor(const QString& editor, const QString& file, QObject* owner, const std::function<void()>& failed)
{
    if (!editor.isEmpty()) {
        // The program itself, the file as its one argument: no shell, so blanks and quotes stay as they are.
        if (!QProcess::startDetached(editor, {file}))
            failed();
        return;
    }
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty()) {
        failed();
        return;
    }
    // The opener says by its exit status whether it found a program for the
    // file; it may wait for that program, so it is watched, not waited for.
    auto* process = new QProcess(owner);
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    QObject::connect(process, &QProcess::finished, owner, [process, failed](int code, QProcess::ExitStatus status) {
        if (status != QProcess::NormalExit || code != 0)
            failed();
        process->deleteLater();
    });
    QObject::connect(process, &QProcess::errorOccurred, owner, [process, failed](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        failed();
        process->deleteLater();
    });
    process->start(opener, {file});
}

void SetUpEditorChooser(QFileDialog& dialog, const QString& currentEditor)
{
    dialog.setWindowTitle(QStringLiteral("Choisir l'éditeur de BMP"));
    dialog.setObjectName(QStringLiteral("OpenDialog1"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::ReadOnly);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setSizeGripEnabled(true);
    // Programs carry no extension here: the filter is the execute permission.
    dialog.setNameFilter(QStringLiteral("Programmes (*)"));
    dialog.setFilter(QDir::AllDirs | QDir::Files | QDir::Executable | QDir::NoDotAndDotDot);
    dialog.setDirectory(currentEditor.isEmpty() ? QString() : QFileInfo(currentEditor).absolutePath());
}

std::optional<QString> ChooseEditor(QWidget* parent, const QString& currentEditor)
{
    QFileDialog dialog(parent);
    SetUpEditorChooser(dialog, currentEditor);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return QFileInfo(dialog.selectedFiles().constFirst()).absoluteFilePath();
}

} // namespace kaptivus::files::ui
