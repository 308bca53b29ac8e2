// The texts a print job puts on paper and in the queue: the date line, the
// creation-time hint, the job's document name and the notice per copy.
#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

namespace kaptivus::print {

// "dddd, mmm dd, yyyy  hh:mm AM/PM": "Tuesday, Dec 08, 2026  05:07 AM".
QString DateLine(const QDateTime& when, const QLocale& locale = QLocale::system());
// "dddd, dd mmm, yyyy  hh:mm AM/PM": "Tuesday, 08 Dec, 2026  05:07 AM".
QString DayFirstDateLine(const QDateTime& when, const QLocale& locale = QLocale::system());
// "Printed from " + the user name, cut to 31 characters in all.
QString DocumentName(const QString& userName);
// "Picture Sent to " + printer + " Copy Number " + k.
QString SentNotice(const QString& printer, int copy);
// The error box's text when a copy could not be printed.
QString FailureMessage(const QString& printer, const QString& reason);

} // namespace kaptivus::print
