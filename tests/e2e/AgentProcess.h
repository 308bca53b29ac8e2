// Starts the real kaptivus2000 in the test's private settings folder and
// watches it from the outside: its windows, its tray icon, its settings file.
#pragma once

#include "SettingsTable.h"
#include "XTest.h"
#include "config/RegistryStore.h"

#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

namespace kaptivus::e2e {

using namespace std::chrono_literals;

std::filesystem::path settingsFile();
// Writes a settings file holding only the given key text after the header.
void writeSettingsFile(const std::string& body);
// The stored settings key, or nothing when the file or the key is missing.
std::optional<config::RegistryKeyData> storedSettings();


class AgentProcess {
public:
    AgentProcess() = default;
    ~AgentProcess();
    AgentProcess(const AgentProcess&) = delete;
    AgentProcess& operator=(const AgentProcess&) = delete;

    // Starts the program and waits until it has registered all its hotkeys:
    // a press from then on reaches every combination it holds.
    bool start(std::chrono::milliseconds timeout = 15s);
    // Starts without waiting.
    void launch();
    qint64 pid() const { return m_process.processId(); }
    QProcess& process() { return m_process; }
    bool waitForExit(std::chrono::milliseconds timeout = 10s);
    void terminate();
    int exitCode() const { return m_process.exitCode(); }
    bool isRunning() const { return m_process.state() != QProcess::NotRunning; }
    QString output();

    // Top-level client windows of this process whose title starts with the text.
    test::Window findWindow(const std::string& titlePrefix) const;
    // The picture window, when mapped.
    bool pictureWindowShown() const;
    // The hotkey ids the agent holds right now, as its hotkey service announces them.
    std::vector<int> registeredHotkeys() const;
    bool holdsHotkey(int id) const;
    // The tray icon's window inside the tray host, or 0.
    test::Window trayIconWindow() const;
    // A popup menu of ours is mapped: an unmanaged window of ours straight on the root.
    bool menuShown() const;
    // Right button on the tray icon; true once the agent's menu is open.
    bool openTrayMenu() const;

private:
    QProcess m_process;
};

// True when some client holds the combination (a grab of our own fails then).
// Only for moments when no agent is registering: the probe's own grab could
// make a registration fail.
bool keyIsGrabbed(uint32_t keysym, unsigned modifiers);
// Windows (any depth) whose _NET_WM_PID is the pid.
std::vector<test::Window> windowsOfPid(qint64 pid);

// The clipboard's picture as another client reads it; null when it holds none.
QImage clipboardPicture();
// A pixel as 0xRRGGBB.
inline uint32_t rgbOf(const QImage& image, int x, int y) { return image.pixel(x, y) & 0xFFFFFF; }
// Closes the shown picture window with Escape, as a user would.
void closePictureWindow(const AgentProcess& agent);

// One run of the program with options (it ends by itself): exit code -1 when
// it crashed or did not end within 15 s.
struct ProgramRun {
    int exitCode = -1;
    std::string out, err;
};
ProgramRun runKaptivus(const QStringList& arguments,
    const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment());
// What a started run came to: `finished` false when it was waited for in vain,
// and it is killed.
ProgramRun runOutcome(QProcess& process, bool finished);

} // namespace kaptivus::e2e
