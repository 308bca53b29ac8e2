#include "files/ui/FileMessages.h"

#include "dialogs/ApplicationTitle.h"

#include <QApplication>
#include <QMessageBox>

namespace kaptivus::files::ui {

namespace {

void ShowBox(QWidget* parent, QMessageBox::Icon icon, const QString& caption, const QString& text,
             const QString& detail = {})
{
    QMessageBox box(icon, caption, text, QMessageBox::NoButton, parent);
    box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    if (!detail.isEmpty())
        box.setInformativeText(detail);
    box.exec();
}

} // namespace

void ShowSimpleMessage(QWidget* parent, const QString& text, bool beep)
{
    if (beep)
        QApplication::beep();
    ShowBox(parent, QMessageBox::NoIcon, dialogs::ApplicationTitle(), text);
}

void ShowInformation(QWidget* parent, const QString& text)
{
    QApplication::beep();
    ShowBox(parent, QMessageBox::Information, QStringLiteral("Information"), text);
}

void ShowInvalidPictureType(QWidget* parent, const QString& reason)
{
    QApplication::beep();
    ShowBox(parent, QMessageBox::Warning, QStringLiteral("Attention"), QStringLiteral("Invalid Picture Type"), reason);
}

} // namespace kaptivus::files::ui
