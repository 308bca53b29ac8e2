// The program's one error report: ReportError beeps, takes the hourglass away
// and shows the message in a modal "Erreur" box; GuardedApplication sends every
// exception that leaves an event handler there, and the program goes on.
// Throw UserError (dialogs/UserError.h) for a message meant for the user.
#pragma once

#include "dialogs/UserError.h"

#include <QApplication>
#include <QString>

#include <exception>

namespace kaptivus::dialogs {

// The object name of the error box, for tests and for the window manager rules.
inline constexpr const char* ErrorBoxName = "ErrorMessage";

void ReportError(const QString& message);
void ReportError(const std::exception& error);

// The application object of the program: its event delivery reports what a
// handler throws instead of ending the process.
class GuardedApplication : public QApplication {
public:
    GuardedApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace kaptivus::dialogs
