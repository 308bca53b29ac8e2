// The Open and Save picture dialogs: Qt's file dialog with the program's
// filter entries. Each call builds a fresh dialog (a file dialog keeps a
// file-system model alive while it exists).
#pragma once

#include "files/PictureFiles.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

class QWidget;

namespace kaptivus::files::ui {

// Qt's filter texts: the caption, followed by the patterns in Qt's form when
// the caption does not end with them.
QStringList ToQtFilters(const std::vector<FilterEntry>& entries);

struct PictureDialogChoice {
    QString fileName;
    int filterIndex = 1; // 1-based, as the filter table counts
};

struct PictureDialogSetup {
    QString title;
    QString initialDir;
    QString fileName;
    QStringList filters;
    QString defaultSuffix;
    // Save only: the file a save of the chosen name with the filter of that
    // (1-based) index writes; the dialog asks before that file is replaced.
    std::function<QString(const QString& chosen, int filterIndex)> savedName;
};

// Nullopt when cancelled. The Save dialog asks "… already exists. Do you want
// to replace it?" (default "&Non") about the file `savedName` gives, and stays
// open when the answer is no.
std::optional<PictureDialogChoice> ExecSaveDialog(QWidget* parent, const PictureDialogSetup& setup);
std::optional<PictureDialogChoice> ExecOpenDialog(QWidget* parent, const PictureDialogSetup& setup);

} // namespace kaptivus::files::ui
