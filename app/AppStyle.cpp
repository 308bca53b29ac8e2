#include "app/AppStyle.h"

#include <QApplication>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QProxyStyle>
#include <QTextDocument>
#include <QStringList>
#include <QToolTip>
#include <QWidget>

#include <algorithm>

namespace {

class HintStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        switch (hint) {
        case SH_ToolTip_WakeUpDelay: return 200;
        case SH_ToolTip_FallAsleepDelay: return 100;
        default: return QProxyStyle::styleHint(hint, option, widget, returnData);
        }
    }
};

// Qt cuts a plain-text hint at the style sheet's maximum width instead of
// wrapping it, so every widget's own hint is wrapped here before it is shown.
// Widgets that show hints of their parts (menus, tab bars, item views) carry
// no hint of their own and pass through.
class HintWrapper : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::ToolTip || !watched->isWidgetType())
            return false;
        auto* widget = static_cast<QWidget*>(watched);
        const QString hint = widget->toolTip();
        if (hint.isEmpty() || Qt::mightBeRichText(hint))
            return false;
        // The hint label's margin and frame on both sides, plus a pixel of slack.
        const int chrome = 2 * (2 + widget->style()->pixelMetric(QStyle::PM_ToolTipLabelFrameWidth, nullptr, widget));
        const QString wrapped = WrapHint(hint, QFontMetrics(QToolTip::font()), kHintMaxWidth - chrome);
        const auto* help = static_cast<QHelpEvent*>(event);
        QToolTip::showText(help->globalPos(), wrapped, widget, QRect(), widget->toolTipDuration());
        return true;
    }
};

// Greedy: as many words on a line as fit; a word wider than the line is split.
void WrapParagraph(const QString& paragraph, const QFontMetrics& metrics, int width, QStringList& lines)
{
    QString line;
    const QStringList words = paragraph.split(QLatin1Char(' '));
    for (qsizetype i = 0; i < words.size(); ++i) {
        QString word = words[i];
        const QString joined = i == 0 ? word : line + QLatin1Char(' ') + word;
        if (metrics.horizontalAdvance(joined) <= width) {
            line = joined;
            continue;
        }
        if (i > 0)
            lines << line;
        while (word.size() > 1 && metrics.horizontalAdvance(word) > width) {
            qsizetype cut = word.size() - 1;
            while (cut > 1 && metrics.horizontalAdvance(word.left(cut)) > width)
                --cut;
            lines << word.left(cut);
            word = word.mid(cut);
        }
        line = word;
    }
    lines << line;
}

} // namespace

QString WrapHint(const QString& text, const QFontMetrics& metrics, int width)
{
    QString normalised = text;
    normalised.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    normalised.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QStringList lines;
    for (const QString& paragraph : normalised.split(QLatin1Char('\n')))
        WrapParagraph(paragraph, metrics, std::max(width, 1), lines);
    return lines.join(QLatin1Char('\n'));
}

void InstallHintBehaviour(QApplication& app)
{
    QApplication::setStyle(new HintStyle);
    const QString rule = QStringLiteral("QToolTip { max-width: %1px; }").arg(kHintMaxWidth);
    if (!app.styleSheet().contains(rule))
        app.setStyleSheet(app.styleSheet() + rule);
    const QString name = QStringLiteral("HintWrapper");
    if (!app.findChild<QObject*>(name, Qt::FindDirectChildrenOnly)) {
        auto* wrapper = new HintWrapper(&app);
        wrapper->setObjectName(name);
        app.installEventFilter(wrapper);
    }
}
