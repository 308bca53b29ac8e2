#include "dialogs/DesignFont.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QStringList>
#include <QWidget>

#include <algorithm>

QString DesignFontFamily()
{
    const QStringList installed = QFontDatabase::families();
    for (const char* candidate : {"Liberation Sans", "Arimo", "Arial", "Nimbus Sans", "Helvetica"}) {
        if (installed.contains(QLatin1String(candidate)))
            return QLatin1String(candidate);
    }
    return {};
}

QFont DesignFont(int points)
{
    QFont font;
    const QString family = DesignFontFamily();
    if (!family.isEmpty())
        font.setFamily(family);
    font.setPointSize(points);
    return font;
}

void ApplyDesignFont(QWidget* window)
{
    const QString family = DesignFontFamily();
    QList<QWidget*> widgets = window->findChildren<QWidget*>();
    widgets.prepend(window);
    for (QWidget* widget : widgets) {
        QFont font = widget->font();
        if (!family.isEmpty())
            font.setFamily(family);
        if (!(font.resolveMask() & QFont::SizeResolved))
            font.setPointSize(8);
        widget->setFont(font);
    }
}

int PointSizeToFit(QFont font, const QStringList& texts, int width, int points, int minimum)
{
    for (; points > minimum; --points) {
        font.setPointSize(points);
        const QFontMetrics metrics(font);
        const bool fits = std::all_of(texts.begin(), texts.end(),
                                      [&](const QString& text) { return metrics.horizontalAdvance(text) <= width; });
        if (fits)
            break;
    }
    return points;
}
