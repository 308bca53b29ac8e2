// The program's entry: one agent per desktop session, behind its tray icon.
#include "app/AppStyle.h"
#include "app/CommandLine.h"
#include "app/Tray.h"
#include "app/Wiring.h"
#include "config/Autostart.h"
#include "dialogs/ApplicationTitle.h"
#include "dialogs/ErrorReport.h"
#include "dialogs/QtTranslation.h"
#include "dialogs/Info.h"
#include "picture/Main.h"
#include "platform/CaptureBackend.h"
#include "platform/CommandChannel.h"
#include "platform/SingleInstance.h"
#include "platform/portal/HostRegistry.h"

#include <QSocketNotifier>

#include <csignal>
#include <cstdlib>
#include <iostream>
#include <fcntl.h>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char c = 1;
    (void)!::write(g_signalPipe[1], &c, 1);
}

// SIGTERM, SIGINT and SIGHUP (the end of the session) quit like " &Quitter":
// settings written once, icon removed, hotkeys released; nothing waits for a
// click, as nobody may be there to give it. The handlers go in
// first thing, so a signal during start-up waits in the pipe until the agent
// can answer it.
void catchQuitSignals()
{
    if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    struct sigaction sa = {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int s : {SIGTERM, SIGINT, SIGHUP}) sigaction(s, &sa, nullptr);
}

void quitOnSignals(TTray1& agent)
{
    if (g_signalPipe[0] < 0) return;
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &agent);
    QObject::connect(notifier, &QSocketNotifier::activated, &agent, [&agent] {
        char buf[16];
        while (::read(g_signalPipe[0], buf, sizeof buf) > 0) {
        }
        agent.QuitBySignal();
    });
}

} // namespace

int main(int argc, char** argv)
{
    // Options such as --autostart do their job and leave, without a display.
    if (const auto code = RunCommandLine(argc, argv, std::cout, std::cerr)) return *code;

    // A Wayland session is served by Qt's Wayland platform: under XWayland the
    // agent's windows would get no clipboard without focus and no output's own
    // scale. The user's own choice of platform stands.
    if (kaptivus::platform::currentSession() == kaptivus::platform::SessionKind::Wayland)
        ::setenv("QT_QPA_PLATFORM", "wayland", 0);

    // Whatever a handler throws is shown to the user; the agent and its hotkeys stay.
    kaptivus::dialogs::GuardedApplication app(argc, argv);
    QApplication::setApplicationName(kaptivus::dialogs::ApplicationTitle());
    // The desktop matches the windows (the Wayland app id) and the portals
    // match the program to the installed entry of this name.
    QGuiApplication::setDesktopFileName(QString::fromLatin1(kaptivus::platform::portal::ApplicationId));
    // Qt's standard dialogs in French, like the program's windows.
    kaptivus::dialogs::InstallQtTranslation(app);
    QApplication::setQuitOnLastWindowClosed(false);

    // A second start in the same session leaves at once, before any setting or
    // hotkey. Without a lock a second agent could run unseen: no start then.
    using LockResult = kaptivus::platform::SingleInstanceLock::Result;
    const auto instance = kaptivus::platform::acquireSingleInstance();
    if (instance.result == LockResult::AlreadyRunning) return 0;
    if (instance.result == LockResult::Unavailable) {
        const std::string message = "Kaptivus 2000 cannot make sure it runs only once, so it does not start: "
            + instance.error;
        std::cerr << "kaptivus2000: " << message << '\n';
        kaptivus::dialogs::ReportError(QString::fromStdString(message));
        return 1;
    }
    catchQuitSignals();
    // A login entry an earlier version wrote takes the name desktops know the
    // program by; where it cannot move it still starts the program as it is.
    (void)kaptivus::config::migrateAutostart(
        kaptivus::config::autostartFile(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME")));

    QApplication::setWindowIcon(TTray1::ProgramIcon());
    InstallHintBehaviour(app);
    TTray1 tray;
    TMain1 main1(&tray);
    TInfo1 info1;
    WireWindows(tray, main1, info1);
    // Answered from here on: a message box during start-up (settings that
    // cannot be written) must not outlast the session either.
    quitOnSignals(tray);
    main1.FormCreate();
    if (tray.QuittingBySignal()) return tray.SignalExitCode();
    // Other starts hand their --capture here; the same gate as a hotkey decides,
    // and they are told how the action ended.
    // Listening only once the settings are read and the hotkeys are in: an
    // agent that answers takes an action exactly as its hotkey would.
    kaptivus::platform::CommandListener commands;
    commands.onCapture = [&tray](int action, const kaptivus::platform::OutcomeReply& finished) {
        return tray.RequestCapture(action, finished);
    };
    if (!commands.listen(kaptivus::platform::commandChannelPath()))
        std::cerr << "kaptivus2000: --capture cannot reach this agent: " << commands.errorText() << '\n';
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &tray, [&tray] { tray.SaveSettings(); });
    return app.exec();
}
