// Application-wide hint behaviour: hints on, 200 ms before the first, 100 ms
// from one hinted control to the next, wrapped to at most 204 pixels wide.
#pragma once

#include <QString>

class QApplication;
class QFontMetrics;

inline constexpr int kHintMaxWidth = 204;

void InstallHintBehaviour(QApplication& app);

// Breaks a plain-text hint into lines no wider than width: at blanks where it
// can, inside a word only when the word alone is wider. Line breaks already in
// the text (CR, LF or CR LF) are kept.
QString WrapHint(const QString& text, const QFontMetrics& metrics, int width);
