#include "dialogs/InputBox.h"

#include <QInputDialog>

namespace kaptivus::dialogs {

void SetUpInputBox(QInputDialog& box, const QString& caption, const QString& prompt, const QString& initial)
{
    box.setWindowTitle(caption);
    box.setLabelText(prompt);
    box.setTextValue(initial);
    box.setOkButtonText(QStringLiteral("OK"));
    box.setCancelButtonText(QStringLiteral("Effacer"));
}

QString InputBox(QWidget* parent, const QString& caption, const QString& prompt, const QString& initial)
{
    QInputDialog box(parent);
    box.setObjectName(QString::fromLatin1(InputBoxName));
    SetUpInputBox(box, caption, prompt, initial);
    return box.exec() == QDialog::Accepted ? box.textValue() : initial;
}

} // namespace kaptivus::dialogs
