// The message boxes of the picture-file commands: each beeps where the program
// warns, then waits for "OK".
#pragma once

#include <QString>

class QWidget;

namespace kaptivus::files::ui {

// A plain box with the program's title ("Can Not read Picture type").
void ShowSimpleMessage(QWidget* parent, const QString& text, bool beep = false);
// A beep, then an "Information" box ("There is no Picture on the Clipboard").
void ShowInformation(QWidget* parent, const QString& text);
// A save that wrote nothing: "Invalid Picture Type", with the reason below it.
void ShowInvalidPictureType(QWidget* parent, const QString& reason);

} // namespace kaptivus::files::ui
