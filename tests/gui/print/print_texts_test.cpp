// The job's texts: both date patterns with the locale's names, the 12-hour
// clock, and the document name's length.
#include "print/PrintTexts.h"

#include <gtest/gtest.h>

using namespace kaptivus::print;

TEST(PrintTexts, DateLinesUseTheLocaleAndTheTwelveHourClock)
{
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    const QLocale french(QLocale::French, QLocale::France);
    const struct {
        QDateTime when;
        QLocale locale;
        QString monthFirst;
        QString dayFirst;
    } cases[] = {
        {QDateTime(QDate(2026, 12, 8), QTime(17, 5)), english, "Tuesday, Dec 08, 2026  05:05 PM",
         "Tuesday, 08 Dec, 2026  05:05 PM"},
        {QDateTime(QDate(2026, 3, 1), QTime(0, 30)), english, "Sunday, Mar 01, 2026  12:30 AM",
         "Sunday, 01 Mar, 2026  12:30 AM"},
        {QDateTime(QDate(2026, 3, 1), QTime(12, 0)), english, "Sunday, Mar 01, 2026  12:00 PM",
         "Sunday, 01 Mar, 2026  12:00 PM"},
        // AM/PM stay as such whatever the locale calls them.
        {QDateTime(QDate(2026, 12, 8), QTime(9, 41)), french,
         "mardi, " + french.monthName(12, QLocale::ShortFormat) + " 08, 2026  09:41 AM",
         "mardi, 08 " + french.monthName(12, QLocale::ShortFormat) + ", 2026  09:41 AM"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DateLine(c.when, c.locale), c.monthFirst) << c.monthFirst.toStdString();
        EXPECT_EQ(DayFirstDateLine(c.when, c.locale), c.dayFirst) << c.dayFirst.toStdString();
    }
}

TEST(PrintTexts, DocumentNameIsCutToThirtyOneCharacters)
{
    EXPECT_EQ(DocumentName(QStringLiteral("ada")), QStringLiteral("Printed from ada"));
    EXPECT_EQ(DocumentName(QString(40, QLatin1Char('u'))), QStringLiteral("Printed from ") + QString(18, QLatin1Char('u')));
    EXPECT_EQ(DocumentName(QString(40, QLatin1Char('u'))).size(), 31);
    EXPECT_EQ(SentNotice(QStringLiteral("Atelier"), 3), QStringLiteral("Picture Sent to Atelier Copy Number 3"));
}
