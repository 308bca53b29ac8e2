// The real agent on the test's compositor: started with a settings file of
// its own, driven with `--capture` as a compositor binding would, and watched
// from outside through the files it writes, its standard error and sway's
// window list. The expected pictures come from grim.
#pragma once

#include "SwaySession.h"

#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <utility>
#include <vector>

namespace kaptivus::test {

class WaylandAgent {
public:
    // `settings`: values of the settings key, as name and registry text
    // ("\".BMP\"", "dword:00000001"); the numbered folder is the agent's own.
    explicit WaylandAgent(const std::vector<std::pair<QString, QString>>& settings,
        const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment());
    ~WaylandAgent();
    WaylandAgent(const WaylandAgent&) = delete;
    WaylandAgent& operator=(const WaylandAgent&) = delete;

    // Launches the agent and waits until it listens for `--capture`.
    bool start();
    // `kaptivus2000 --capture N` in the agent's environment: its exit code,
    // once the action has ended; what it wrote on standard error to `said`.
    int capture(int action, QString* said = nullptr);
    // The agent program with `args` in the agent's environment, left running.
    void launch(QProcess& process, const QStringList& args) const;
    qint64 pid() const { return m_process.processId(); }
    QString errors();
    // The numbered folder's files, and the one picture it holds (null until then).
    QStringList files() const;
    QImage picture() const;

private:
    QProcessEnvironment m_env;
    QTemporaryDir m_config;
    QTemporaryDir m_folder;
    QProcess m_process;
    QByteArray m_errors;
};

// The desktop as the agent must compose it: each output's grim picture at its
// logical place times the largest ratio of device to logical pixels, a sparser
// output's pixels replicated (whole factors only). The ratio goes to `scale`.
QImage expectedDesktop(double* scale = nullptr);

} // namespace kaptivus::test
