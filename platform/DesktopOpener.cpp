#include "platform/DesktopOpener.h"

#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

#include <memory>

namespace kaptivus::platform {

void openWithDesktop(const QUrl& url, std::function<void(bool)> finished)
{
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty()) {
        // Answered from the event loop, like every other outcome.
        QTimer::singleShot(0, QCoreApplication::instance(), [finished] { finished(false); });
        return;
    }
    // Owned by the application, not the window: closing the About box must
    // not kill an opener that is still starting the mail program.
    auto* process = new QProcess(QCoreApplication::instance());
    process->setProgram(opener);
    process->setArguments({url.toString(QUrl::FullyEncoded)});
    // Failures are reported to the user, never left on the terminal.
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    auto once = std::make_shared<std::function<void(bool)>>(std::move(finished));
    auto settle = [process, once](bool ok) {
        if (!*once) return;
        const auto report = std::move(*once);
        *once = nullptr;
        process->deleteLater();
        report(ok);
    };
    QObject::connect(process, &QProcess::finished, process, [settle](int code, QProcess::ExitStatus status) {
        settle(status == QProcess::NormalExit && code == 0);
    });
    QObject::connect(process, &QProcess::errorOccurred, process, [settle](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) settle(false);
    });
    process->start();
}

} // namespace kaptivus::platform
