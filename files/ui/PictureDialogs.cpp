#include "files/ui/PictureDialogs.h"

#include <QFileDialog>
#include <QFileInfo>

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

std::optional<PictureDialogChoice> Exec(QWidget* parent, const PictureDialogSetup& setup, bool save)
{
    QFileDialog dialog(parent, setup.title, setup.initialDir);
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
    choice.filterIndex = std::max(1, int(setup.filters.indexOf(dialog.selectedNameFilter())) + 1);
    return choice;
}

} // namespace

std::optional<PictureDialogChoice> ExecSaveDialog(QWidget* parent, const PictureDialogSetup& setup)
{
    return Exec(parent, setup, true);
}

std::optional<PictureDialogChoice> ExecOpenDialog(QWidget* parent, const PictureDialogSetup& setup)
{
    return Exec(parent, setup, false);
}

} // namespace kaptivus::files::ui
