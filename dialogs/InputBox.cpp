#include "dialogs/InputBox.h"

#include <QInputDialog>

namespace kaptivus::dialogs {

QString InputBox(QWidget* parent, const QString& caption, const QString& prompt, const QString& initial)
{
    QInputDialog box(parent);
    box.setObjectName(QString::fromLatin1(InputBoxName));
    box.setWindowTitle(caption);
    box.setLabelText(prompt);
    box.setTextValue(initial);
    box.setOkButtonText(QStringLiteral("OK"));
    box.setCancelButtonText(QStringLiteral("Effacer"));
    return box.exec() == QDialog::Accepted ? box.textValue() : initial;
}

} // namespace kaptivus::dialogs
