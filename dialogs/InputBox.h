// The input box: a caption, a prompt, one line of text, "OK" and "Effacer".
#pragma once

#include <QString>

class QInputDialog;
class QWidget;

namespace kaptivus::dialogs {

inline constexpr const char* InputBoxName = "InputBox";

// Gives a box the input box's caption, prompt, text and buttons.
void SetUpInputBox(QInputDialog& box, const QString& caption, const QString& prompt, const QString& initial);

// The text entered, or the initial text when the box is cancelled.
QString InputBox(QWidget* parent, const QString& caption, const QString& prompt, const QString& initial);

} // namespace kaptivus::dialogs
