// The Open and Save picture dialogs, and the Save dialog's question before it replaces a file.
#include "files/ui/PictureDialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

namespace kaptivus::files::ui {

QStringList ToQtFilters(const std::vector<FilterEntry>& entries)
{
    QStringList filters;
    for (const FilterEntry& entry : entries) {
        const QString caption = QString::fromStdString(entry.caption);
        // Qt separates patterns with blanks and reads them from the last parentheses.
        const QString patterns = QString::fromStdString(entry.patterns).replace(QLatin1Char(';'), QLatin1Char(' '));
        const QString tail = QLatin1Char('(') + patterns + QLatin1Char(')');
        // A caption ending in its own list (with semicolons) gets Qt's list in
        // its place, not a second list after it.
        const qsizetype own = caption.lastIndexOf(QLatin1Char('('));
        if (caption.endsWith(tail))
            filters << caption;
        else if (own >= 0 && caption.endsWith(QLatin1Char(')')) && caption.indexOf(QLatin1Char(';'), own) > 0)
            filters << caption.left(own) + tail;
        else
            filters << caption + QLatin1Char(' ') + tail;
    }
    return filters;
}

namespace {

int FilterIndexOf(const QFileDialog& dialog)
{
    return std::max(1, int(dialog.nameFilters().indexOf(dialog.selectedNameFilter())) + 1);
}

// "&Oui" or "&Non" (the default) to replacing the file that the save will write.
bool ConfirmReplace(QWidget* parent, const QString& fileName)
{
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Confirmer"),
                    fileName + QStringLiteral(" already exists. Do you want to replace it?"), QMessageBox::NoButton,
                    parent);
    box.setObjectName(QStringLiteral("ConfirmReplace"));
    box.setTextFormat(Qt::PlainText);
    QPushButton* yes = box.addButton(QStringLiteral("&Oui"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("&Non"), QMessageBox::NoRole);
    box.setDefaultButton(no);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

// The Save dialog asks about the file the save will really write, which the
// filter and the extension rules may name differently from what the dialog
// shows ("Shot.GIF" is written as "Shot.gif"); its own question, about the
// shown name, is switched off so no file is asked about twice.
class SaveDialog : public QFileDialog {
public:
    SaveDialog(QWidget* parent, const PictureDialogSetup& setup)
        : QFileDialog(parent, setup.title, setup.initialDir), m_savedName(setup.savedName)
    {
        // The question needs the dialog's own accept, which a desktop's dialog bypasses.
        setOption(QFileDialog::DontUseNativeDialog);
        setOption(QFileDialog::DontConfirmOverwrite);
    }

    void accept() override
    {
        const QStringList chosen = selectedFiles();
        if (!m_savedName || chosen.isEmpty() || QFileInfo(chosen.constFirst()).isDir()) {
            QFileDialog::accept();
            return;
        }
        const QFileInfo saved(m_savedName(chosen.constFirst(), FilterIndexOf(*this)));
        // Declining leaves the dialog open on the typed name.
        if (saved.exists() && !saved.isDir() && !ConfirmReplace(this, saved.fileName()))
            return;
        QFileDialog::accept();
    }

private:
    std::function<QString(const QString&, int)> m_savedName;
};

std::optional<PictureDialogChoice> Exec(QFileDialog& dialog, const PictureDialogSetup& setup, bool save)
{
    dialog.setObjectName(save ? QStringLiteral("SavePictureDialog1") : QStringLiteral("OpenPictureDialog1"));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilters(setup.filters);
    dialog.setDefaultSuffix(setup.defaultSuffix);
    // Only the name: the folder is the initial one, which a numbered save may have moved.
    if (!setup.fileName.isEmpty())
        dialog.selectFile(QFileInfo(setup.fileName).fileName());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    PictureDialogChoice choice;
    choice.fileName = dialog.selectedFiles().constFirst();
    choice.filterIndex = FilterIndexOf(dialog);
    return choice;
}

} // namespace

std::optional<PictureDialogChoice> ExecSaveDialog(QWidget* parent, const PictureDialogSetup& setup)
{
    SaveDialog dialog(parent, setup);
    return Exec(dialog, setup, true);
}

std::optional<PictureDialogChoice> ExecOpenDialog(QWidget* parent, const PictureDialogSetup& setup)
{
    QFileDialog dialog(parent, setup.title, setup.initialDir);
    return Exec(dialog, setup, false);
}

} // namespace kaptivus::files::ui
