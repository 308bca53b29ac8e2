// The input box: a caption, a prompt, one line of text, "OK" and "Effacer".
#pragma once

#include <QString>

class QWidget;

namespace kaptivus::dialogs {

inline constexpr const char* InputBoxName = "InputBox";

// The text entered, or the initial text when the box is cancelled.
QString InputBox(QWidget* parent, const QString& caption, const QString& prompt, const QString& initial);

} // namespace kaptivus::dialogs
