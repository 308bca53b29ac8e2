// The one error report: ReportError shows a message in a modal "Erreur" box after the beep, hourglass gone.
// Handlers catch their own failures with ReportFailures; GuardedApplication only catches what still escapes.
#pragma once

#include "dialogs/UserError.h"

#include <QApplication>
#include <QString>

#include <exception>

namespace kaptivus::dialogs {

// The object name of the error box.
inline constexpr const char* ErrorBoxName = "ErrorMessage";

void ReportError(const QString& message);
void ReportError(const std::exception& error);

// Reports whatever the current exception is (call inside a catch block).
void ReportCurrentException();

// Runs a handler's body and reports what it throws; true when it ran to the
// end. Qt's widget code is built without exception support: an exception that
// unwinds through it skips its clean-up (a menu stays marked as activating, a
// button pressed), so every handler that may fail catches here, before
// returning into Qt.
template <typename Body>
bool ReportFailures(Body&& body)
{
    try {
        body();
        return true;
    } catch (...) {
        ReportCurrentException();
        return false;
    }
}

// The application object of the program: its event delivery reports what a
// handler let through instead of ending the process. The last resort only:
// by then the exception has crossed Qt's frames.
class GuardedApplication : public QApplication {
public:
    GuardedApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace kaptivus::dialogs
