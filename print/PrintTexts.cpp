#include "print/PrintTexts.h"

namespace kaptivus::print {

namespace {

// Names from the locale, the hour on the 12-hour clock, and AM/PM as such
// whatever the locale calls them.
QString Stamp(const QDateTime& when, const QLocale& locale, const QString& datePattern)
{
    const int hour = when.time().hour();
    const int hour12 = hour % 12 == 0 ? 12 : hour % 12;
    return locale.toString(when.date(), datePattern)
         + QStringLiteral("  %1:%2 %3")
               .arg(hour12, 2, 10, QLatin1Char('0'))
               .arg(when.time().minute(), 2, 10, QLatin1Char('0'))
               .arg(hour < 12 ? QStringLiteral("AM") : QStringLiteral("PM"));
}

} // namespace

QString DateLine(const QDateTime& when, const QLocale& locale)
{
    return Stamp(when, locale, QStringLiteral("dddd, MMM dd, yyyy"));
}

QString DayFirstDateLine(const QDateTime& when, const QLocale& locale)
{
    return Stamp(when, locale, QStringLiteral("dddd, dd MMM, yyyy"));
}

QString DocumentName(const QString& userName)
{
    return (QStringLiteral("Printed from ") + userName).left(31);
}

QString SentNotice(const QString& printer, int copy)
{
    return QStringLiteral("Picture Sent to ") + printer + QStringLiteral(" Copy Number ") + QString::number(copy);
}

QString FailureMessage(const QString& printer, const QString& reason)
{
    return QStringLiteral("The Picture could not be printed on ") + printer + QStringLiteral(":\r") + reason;
}

} // namespace kaptivus::print
