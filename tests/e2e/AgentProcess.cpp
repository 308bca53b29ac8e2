#include "AgentProcess.h"

#include "SettingsTable.h"
#include "config/RegistryFormat.h"

#include <xcb/xcb.h>

#include <signal.h>
#include <sys/prctl.h>

#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <set>
#include <sstream>

namespace kaptivus::e2e {

namespace {

template <typename T>
using Reply = std::unique_ptr<T, decltype(&free)>;

xcb_connection_t* connection()
{
    static xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    return c;
}

std::vector<test::Window> children(test::Window w)
{
    Reply<xcb_query_tree_reply_t> r(xcb_query_tree_reply(connection(), xcb_query_tree(connection(), w), nullptr),
                                    &free);
    if (!r) return {};
    const xcb_window_t* c = xcb_query_tree_children(r.get());
    return {c, c + xcb_query_tree_children_length(r.get())};
}

void walk(test::Window w, const std::function<void(test::Window)>& visit)
{
    visit(w);
    for (test::Window c : children(w)) walk(c, visit);
}

// True when the process listens on its command channel, a Unix socket named
// "....sock". The agent listens only once it has read its settings and
// registered every hotkey (each grab confirmed by the server). Read from
// /proc: a test may give the agent a runtime folder of its own.
bool listensForCommands(qint64 pid)
{
    std::set<std::string> inodes;
    std::error_code error;
    const std::filesystem::path fds = "/proc/" + std::to_string(pid) + "/fd";
    for (const auto& fd : std::filesystem::directory_iterator(fds, error)) {
        const std::string target = std::filesystem::read_symlink(fd.path(), error).string();
        if (!error && target.rfind("socket:[", 0) == 0) inodes.insert(target.substr(8, target.size() - 9));
    }
    std::ifstream table("/proc/net/unix");
    std::string line;
    std::getline(table, line); // the heading
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, refs, protocol, flags, type, state, inode, path;
        // The path is the rest of the line: it may hold blanks.
        if (!(fields >> slot >> refs >> protocol >> flags >> type >> state >> inode)) continue;
        if (!std::getline(fields >> std::ws, path)) continue;
        constexpr unsigned long acceptsConnections = 0x10000;
        const bool listening = (std::stoul(flags, nullptr, 16) & acceptsConnections) != 0;
        if (listening && inodes.count(inode) && path.size() > 5 && path.ends_with(".sock")) return true;
    }
    return false;
}

// The ids the settings file gives a key.
std::vector<int> assignedHotkeys()
{
    std::vector<int> ids;
    const auto key = storedSettings();
    for (int i = 0; key && i < 12; ++i) {
        const auto* v = key->findValue("HotKey" + std::to_string(i));
        if (v && v->kind == config::ValueKind::Dword && v->dword != 0) ids.push_back(101 + i);
    }
    return ids;
}

} // namespace

std::filesystem::path settingsFile() { return config::defaultRegistryPath(); }

void writeSettingsFile(const std::string& body)
{
    std::filesystem::create_directories(settingsFile().parent_path());
    std::ofstream out(settingsFile(), std::ios::binary | std::ios::trunc);
    out << "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Kaptivus2000\\V5.10]\r\n"
        << body << "\r\n";
}

std::optional<config::RegistryKeyData> storedSettings()
{
    std::ifstream in(settingsFile(), std::ios::binary);
    if (!in) return std::nullopt;
    std::stringstream ss;
    ss << in.rdbuf();
    auto parsed = config::parseRegistry(ss.str());
    if (!parsed.ok()) return std::nullopt;
    const auto* key = parsed.document->findKey(config::kSettingsKey);
    if (!key) return std::nullopt;
    return *key;
}

AgentProcess::~AgentProcess()
{
    if (isRunning()) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

void AgentProcess::launch()
{
    // The session's switch to the XTest keyboard, before any hotkey is pressed;
    // the agent, not yet started, is not told of a new keyboard mapping either.
    test::useTestKeyboard();
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    // A test that crashes must not leave its agent holding keys for the tests after it.
    m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    m_process.start(QStringLiteral(KAPTIVUS_BINARY), {});
    m_process.waitForStarted(5000);
}

bool AgentProcess::start(std::chrono::milliseconds timeout)
{
    launch();
    // Ready once it listens for commands: its keys are in by then, and a
    // --capture reaches it. An agent that cannot listen (no folder for its
    // command channel) says so at start; it is ready once it holds every key
    // its settings give.
    return test::waitUntil([this] {
        if (!isRunning()) return false;
        if (listensForCommands(pid())) return true;
        if (!m_process.peek(1 << 16).contains("--capture cannot reach this agent")) return false;
        const auto assigned = assignedHotkeys();
        return !assigned.empty() && registeredHotkeys() == assigned;
    }, timeout);
}

bool AgentProcess::waitForExit(std::chrono::milliseconds timeout)
{
    if (!isRunning()) return true;
    return m_process.waitForFinished(static_cast<int>(timeout.count()));
}

void AgentProcess::terminate() { m_process.terminate(); }

QString AgentProcess::output() { return QString::fromLocal8Bit(m_process.readAll()); }

bool keyIsGrabbed(uint32_t keysym, unsigned modifiers)
{
    test::ForeignKeyGrab probe(keysym, modifiers);
    return !probe.isGrabbed();
}

std::vector<test::Window> windowsOfPid(qint64 pid)
{
    std::vector<test::Window> found;
    walk(test::rootWindow(), [&](test::Window w) {
        const auto p = test::cardinalProperty(w, "_NET_WM_PID");
        if (!p.empty() && p.front() == static_cast<uint32_t>(pid)) found.push_back(w);
    });
    return found;
}

test::Window AgentProcess::findWindow(const std::string& titlePrefix) const
{
    for (test::Window w : windowsOfPid(pid())) {
        const std::string title = test::stringProperty(w, "_NET_WM_NAME");
        if (title.rfind(titlePrefix, 0) == 0) return w;
    }
    return 0;
}

bool AgentProcess::pictureWindowShown() const
{
    const test::Window w = findWindow("Kaptivus 2000   v5.10 complet");
    return w != 0 && test::isViewable(w);
}

std::vector<int> AgentProcess::registeredHotkeys() const
{
    for (test::Window w : windowsOfPid(pid())) {
        if (test::stringProperty(w, "WM_NAME") != "Kaptivus hotkeys") continue;
        const auto ids = test::cardinalProperty(w, "_KAPTIVUS_HOTKEYS");
        return {ids.begin(), ids.end()};
    }
    return {};
}

bool AgentProcess::holdsHotkey(int id) const
{
    const auto ids = registeredHotkeys();
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

bool AgentProcess::menuShown() const
{
    for (test::Window w : windowsOfPid(pid())) {
        const auto types = test::cardinalProperty(w, "_NET_WM_WINDOW_TYPE");
        if (test::isViewable(w) && !types.empty() && test::parentOf(w) == test::rootWindow()) return true;
    }
    return false;
}

bool AgentProcess::openTrayMenu() const
{
    test::Window icon = 0;
    if (!test::waitUntil([&] { return (icon = trayIconWindow()) != 0; }, 10s)) return false;
    const test::Rect r = test::windowRootGeometry(icon);
    test::movePointer(r.left + r.width / 2, r.top + r.height / 2);
    test::clickButton(3);
    return test::waitUntil([&] { return menuShown(); }, 5s);
}

test::Window AgentProcess::trayIconWindow() const
{
    // The icon is our window that speaks XEMBED, once a tray host has taken it in.
    for (test::Window w : windowsOfPid(pid())) {
        if (test::cardinalProperty(w, "_XEMBED_INFO").empty()) continue;
        if (test::parentOf(w) != test::rootWindow() && test::isViewable(w)) return w;
    }
    return 0;
}

QImage clipboardPicture()
{
    // Without an owner there is nothing to read: no reader is started, which
    // keeps a test that waits for a picture from starting hundreds of them.
    if (test::selectionOwner("CLIPBOARD") == 0) return {};
    QProcess xclip;
    xclip.start(QStringLiteral("xclip"), {"-selection", "clipboard", "-t", "image/png", "-o"});
    if (!xclip.waitForFinished(10000) || xclip.exitCode() != 0) return {};
    return QImage::fromData(xclip.readAllStandardOutput(), "PNG");
}

void closePictureWindow(const AgentProcess& agent)
{
    const auto w = agent.findWindow("Kaptivus 2000   v5.10 complet");
    ASSERT_TRUE(test::waitUntil([&] { return test::activeWindow() == w; }, 5s));
    test::pressKey(test::keysym::Escape);
    ASSERT_TRUE(test::waitUntil([&] { return !agent.pictureWindowShown(); }, 5s));
}

ProgramRun runKaptivus(const QStringList& arguments, const QProcessEnvironment& env)
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(KAPTIVUS_BINARY), arguments);
    return runOutcome(p, p.waitForFinished(15000));
}

ProgramRun runOutcome(QProcess& p, bool finished)
{
    ProgramRun r;
    if (!finished) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput().toStdString();
    r.err = p.readAllStandardError().toStdString();
    return r;
}

} // namespace kaptivus::e2e
