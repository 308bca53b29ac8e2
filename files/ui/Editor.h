// Handing the shown picture to an external bitmap editor: the hand-off file in
// the temporary folder, starting the editor (or the desktop's program for BMP
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

// The hand-off file in the temporary folder (given with its trailing separator).
QString HandOffFileName(const QString& tempFolder);

// Writes the picture as a BMP file to the hand-off name; an empty string, or
// why nothing was written. The name is replaced only when it is a plain file
// of this user's; a link planted there is left alone.
QString WriteHandOffFile(const QString& file, const pixels::Picture& picture);

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
