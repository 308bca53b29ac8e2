#include "dialogs/ErrorReport.h"

#include "dialogs/WaitCursor.h"

#include <QMessageBox>
#include <QPushButton>

#include <new>

namespace kaptivus::dialogs {

namespace {

QStringList pending;
QString showing;
bool busy = false;

void ShowErrorBox(const QString& message)
{
    QApplication::beep();
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Erreur"), message, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.setObjectName(QString::fromLatin1(ErrorBoxName));
    box.setTextFormat(Qt::PlainText);
    box.button(QMessageBox::Ok)->setText(QStringLiteral("OK"));
    box.exec();
}

QString MessageOf(const std::exception& error)
{
    // The library's own text for a failed allocation says nothing to a user.
    if (dynamic_cast<const std::bad_alloc*>(&error)) return QStringLiteral("Not enough memory");
    const QString text = QString::fromUtf8(error.what()).trimmed();
    return text.isEmpty() ? QStringLiteral("Unknown error") : text;
}

} // namespace

void ReportError(const QString& message)
{
    // A handler that fails again while a box is open (a timer, say) queues its
    // message instead of stacking boxes; the same message is shown once.
    WaitCursor::RestoreAll();
    if (message == showing || pending.contains(message)) return;
    pending.append(message);
    if (busy) return;
    struct Busy {
        Busy() { busy = true; }
        ~Busy()
        {
            busy = false;
            showing.clear();
        }
    } scope;
    while (!pending.isEmpty()) {
        showing = pending.takeFirst();
        ShowErrorBox(showing);
        WaitCursor::RestoreAll();
    }
}

void ReportError(const std::exception& error) { ReportError(MessageOf(error)); }

void ReportCurrentException()
{
    try {
        throw;
    } catch (const std::exception& error) {
        ReportError(error);
    } catch (...) {
        ReportError(QStringLiteral("Unknown error"));
    }
}

GuardedApplication::GuardedApplication(int& argc, char** argv)
    : QApplication(argc, argv)
{
}

bool GuardedApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ReportCurrentException();
    }
    return false;
}

} // namespace kaptivus::dialogs
