#include "dialogs/DesignFont.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QStringList>
#include <QWidget>

#include <algorithm>

namespace {

QString FindDesignFontFamily()
{
    const QStringList installed = QFontDatabase::families();
    for (const char* candidate : {"Liberation Sans", "Arimo", "Arial", "Nimbus Sans", "Helvetica"}) {
        const QString name = QLatin1String(candidate);
        // A family that several foundries provide is listed as "Name [Foundry]".
        for (const QString& family : installed)
            if (family == name || family.startsWith(name + QLatin1String(" [")))
                return family;
    }
    return {};
}

} // namespace

QString DesignFontFamily()
{
    // The installed fonts do not change while the program runs; every window
    // and notice asks, so the font list is searched once.
    static const QString family = FindDesignFontFamily();
    return family;
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

int PointSizeToWrap(QFont font, const QString& text, QSize box, int points, int minimum)
{
    for (; points > minimum; --points) {
        font.setPointSize(points);
        const QRect needed
            = QFontMetrics(font).boundingRect(QRect(0, 0, box.width(), 10000), Qt::TextWordWrap, text);
        if (needed.width() <= box.width() && needed.height() <= box.height())
            break;
    }
    return points;
}
