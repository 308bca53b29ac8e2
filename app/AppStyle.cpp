#include "app/AppStyle.h"

#include <QApplication>
#include <QProxyStyle>

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

} // namespace

void InstallHintBehaviour(QApplication& app)
{
    QApplication::setStyle(new HintStyle);
    app.setStyleSheet(app.styleSheet() + QStringLiteral("QToolTip { max-width: 204px; }"));
}
