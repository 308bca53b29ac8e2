// Handing the shown picture to an external bitmap editor: the hand-off file in
// a folder private to the user, starting the editor (or the desktop's program for BMP
// files) without a shell, and the chooser of the editor program.
#pragma once

#include "pixels/Picture.h"

#include <QString>

#include <functional>
#include <optional>

class QFileDialog;
class QObject;
class QWidget;

namespace kaptivus::files::ui {

// The hand-off file "~MyBitmap.Bmp" in a folder (given with its trailing separator).
QString HandOffFileName(const QString& folder);

// The hand-off file written, or why not (`error` not empty).
struct HandOffResult {
    QString file;
    QString error;
};

// Writes the picture as a BMP file to the hand-off name in a folder private to
// the user: the runtime folder, else one of the user's own under the temporary
// folder (given with its trailing separator). What holds the name there, a
// stale link included, is replaced by a new file, never written through.
HandOffResult WriteHandOffFile(const QString& tempFolder, const pixels::Picture& picture);

// Starts `editor` with the file as its one argument, or, with no editor, the
// desktop's opener ("xdg-open", looked up in PATH) on the file. `failed` runs
// when the program cannot be started or the opener reports it found nothing
// to open the file with (which it may tell only later).
void StartEditor(const QString& editor, const QString& file, QObject* owner, const std::function<void()>& failed);

// The chooser "Choisir l'éditeur de BMP": executable files only (what an
// ".exe" filter means here), opened in the folder of the current editor.
void SetUpEditorChooser(QFileDialog& dialog, const QString& currentEditor);
// Runs the chooser; the chosen program's full path, or nothing when cancelled.
std::optional<QString> ChooseEditor(QWidget* parent, const QString& currentEditor);

} // namespace kaptivus::files::ui
