#include "files/ui/Editor.h"

#include "config/DurableFile.h"
#include "files/BmpCodec.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace kaptivus::files::ui {

QString HandOffFileName(const QString& tempFolder) { return tempFolder + QStringLiteral("~MyBitmap.Bmp"); }

QString WriteHandOffFile(const QString& file, const pixels::Picture& picture)
{
    MemorySink sink;
    if (const CodecStatus encoded = WriteBmp(picture, sink); !encoded)
        return QStringLiteral("Cannot write %1: %2").arg(file, QString::fromStdString(encoded.error));
    const std::string_view bytes(reinterpret_cast<const char*>(sink.bytes.data()), sink.bytes.size());
    const config::Status written = config::replaceOwnFile(QFile::encodeName(file).toStdString(), bytes);
    return written ? QString() : QFile::decodeName(QByteArray::fromStdString(written.error));
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
