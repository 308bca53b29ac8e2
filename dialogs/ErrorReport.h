// The one error report: ReportError shows a message in a modal "Erreur" box after the beep, hourglass gone;
// GuardedApplication sends there whatever leaves an event handler. To report, throw UserError (dialogs/UserError.h).
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

// The application object of the program: its event delivery reports what a
// handler throws instead of ending the process.
class GuardedApplication : public QApplication {
public:
    GuardedApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace kaptivus::dialogs
