#include "app/CommandLine.h"

#include "config/Autostart.h"
#include "config/RegistryFormat.h"
#include "config/RegistryStore.h"
#include "dialogs/HotkeyLists.h"
#include "platform/CommandChannel.h"
#include "platform/wayland/SwayBindings.h"

#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <system_error>

#ifndef KAPTIVUS_VERSION
#define KAPTIVUS_VERSION "5.10"
#endif

namespace {

// The running binary, so that the entry starts this very program wherever it
// was installed; argv[0] is the fall-back when /proc is not there.
std::string ownProgram(const char* argv0)
{
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error && exe.is_absolute()) return exe.string();
    return std::filesystem::absolute(argv0 ? argv0 : "kaptivus2000", error).string();
}

int autostart(std::string_view value, const char* argv0, std::ostream& out, std::ostream& err)
{
    using namespace kaptivus::config;
    if (value != "on" && value != "off") {
        err << "kaptivus2000: --autostart takes on or off\n";
        return 2;
    }
    const auto file = autostartFile(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
    const Status done = value == "on" ? enableAutostart(file, ownProgram(argv0)) : disableAutostart(file);
    if (!done) {
        err << "kaptivus2000: " << done.error << '\n';
        return 1;
    }
    if (value == "on")
        out << "Kaptivus 2000 will start at login: " << file.string() << '\n';
    else
        out << "Kaptivus 2000 will not start at login.\n";
    return 0;
}

struct HotkeyTables {
    kaptivus::dialogs::HotkeyTable keys = kaptivus::dialogs::DefaultHotkeyKeys;
    kaptivus::dialogs::HotkeyTable modifiers = kaptivus::dialogs::DefaultHotkeyModifiers;
    std::string problem; // why the settings file was not read; the defaults stand
};

// The agent's hotkeys as it would read them at start: its defaults, replaced
// value by value by what the settings file holds. Read only: a file that
// cannot be read is left where it is for the agent to deal with.
HotkeyTables storedHotkeys()
{
    using namespace kaptivus::config;
    HotkeyTables t;
    const auto path = defaultRegistryPath();
    std::ifstream file(path, std::ios::binary);
    if (!file) return t; // no file yet: the defaults
    std::string bytes(kMaxRegistryFileBytes + 1, '\0');
    file.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<size_t>(file.gcount()));
    ParseResult parsed;
    if (bytes.size() > kMaxRegistryFileBytes) parsed.error = "larger than a settings file may be";
    else parsed = parseRegistry(bytes);
    if (!parsed.ok()) {
        t.problem = path.string() + " could not be read (" + parsed.error + ")";
        return t;
    }
    const RegistryKeyData* key = parsed.document->findKey(kSettingsKey);
    if (!key) return t;
    for (int i = 0; i < 12; ++i) {
        const auto read = [&](const std::string& name, int32_t& into) {
            const RegistryValue* v = key->findValue(name);
            if (v && v->kind == ValueKind::Dword) into = static_cast<int32_t>(v->dword);
        };
        read("HotKey" + std::to_string(i), t.keys[size_t(i)]);
        read("Modifier" + std::to_string(i), t.modifiers[size_t(i)]);
    }
    return t;
}

int bindings(std::string_view desktop, const char* argv0, std::ostream& out, std::ostream& err)
{
    if (desktop != "sway") {
        err << "kaptivus2000: --bindings knows only sway (key bindings for other desktops are set in their "
               "own keyboard settings, with the command kaptivus2000 --capture N)\n";
        return 2;
    }
    const HotkeyTables tables = storedHotkeys();
    if (!tables.problem.empty()) err << "kaptivus2000: " << tables.problem << "; the default hotkeys are shown\n";
    const auto made = kaptivus::platform::wayland::swayBindings(tables.keys, tables.modifiers, ownProgram(argv0));
    for (const std::string& problem : made.problems) err << "kaptivus2000: " << problem << '\n';
    for (const std::string& line : made.lines) out << line << '\n';
    return 0;
}

void help(std::ostream& out)
{
    using namespace kaptivus::dialogs;
    out << "Usage: kaptivus2000 [OPTION]\n"
           "Without an option, starts the capture agent (once per display).\n\n"
           "  --capture N         has the running agent take action N, as its hotkey would\n"
           "  --autostart on|off  starts the agent at login, or no longer\n"
           "  --bindings sway     prints a sway bindsym line for each hotkey set in the\n"
           "                      hotkey dialog: on Wayland the desktop owns the keys, so\n"
           "                      add these lines to sway's configuration\n"
           "  --version           prints the version\n"
           "  --help              prints this help\n\n"
           "Actions:\n";
    for (int i = 0; i < HotkeyCount; ++i) {
        std::string_view caption = HotkeyActions[i].caption;
        while (!caption.empty() && caption.front() == ' ') caption.remove_prefix(1);
        while (!caption.empty() && caption.back() == ' ') caption.remove_suffix(1);
        out << "  " << FirstHotkeyId + i << "  " << caption << '\n';
    }
    out << "\nExit status of --capture, once the action has ended: 0 done, 1 no agent running\n"
           "(or it ended without finishing the action), 2 bad action, 3 refused (a capture\n"
           "is running or the agent is suspended), 4 the capture failed, 5 cancelled by the user.\n"
           "\nEnvironment, for troubleshooting and tests:\n"
           "  KAPTIVUS_BACKEND=x11|wlroots|portal  forces how the agent captures the screen:\n"
           "                      the X server, a wlroots compositor's screencopy, or the\n"
           "                      desktop's Screenshot portal (by default: x11 on an X11\n"
           "                      session, wlroots on Wayland where the compositor offers\n"
           "                      screencopy, the portal otherwise)\n"
           "  KAPTIVUS_PORTAL_TIMEOUT=SECONDS      how long the agent waits for the\n"
           "                      Screenshot portal's answer (1 to 600; 60 by default)\n";
}

int capture(std::string_view value, std::ostream& err)
{
    int action = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), action);
    if (value.empty() || error != std::errc() || end != value.data() + value.size() || action < 101 || action > 112) {
        err << "kaptivus2000: --capture takes an action from 101 to 112 (see --help)\n";
        return 2;
    }
    using kaptivus::platform::SendResult;
    const std::string path = kaptivus::platform::commandChannelPath();
    const auto answer = kaptivus::platform::sendCapture(path, action);
    switch (answer.result) {
    case SendResult::Done: return 0;
    case SendResult::Cancelled: return 5;
    case SendResult::ActionFailed: err << "kaptivus2000: the capture failed: " << answer.reason << '\n'; return 4;
    case SendResult::Unfinished: err << "kaptivus2000: the running agent did not finish the action\n"; return 1;
    case SendResult::NoAgent: err << "kaptivus2000: no agent is running on this display\n"; return 1;
    case SendResult::Blocked:
        err << "kaptivus2000: " << path << " is not the agent's socket; remove it and start the agent again\n";
        return 1;
    case SendResult::Refused:
        err << "kaptivus2000: the agent is busy with a capture or suspended; action " << action << " not taken\n";
        return 3;
    case SendResult::Failed: break;
    }
    err << "kaptivus2000: the running agent did not answer\n";
    return 1;
}

} // namespace

std::optional<int> RunCommandLine(int argc, char** argv, std::ostream& out, std::ostream& err)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            help(out);
            return 0;
        }
        if (arg == "--capture") return capture(i + 1 < argc ? argv[i + 1] : "", err);
        if (arg.starts_with("--capture=")) return capture(arg.substr(10), err);
        if (arg == "--version") {
            out << "Kaptivus 2000 " KAPTIVUS_VERSION "\n";
            return 0;
        }
        if (arg == "--autostart") return autostart(i + 1 < argc ? argv[i + 1] : "", argv[0], out, err);
        if (arg.starts_with("--autostart=")) return autostart(arg.substr(12), argv[0], out, err);
        if (arg == "--bindings") return bindings(i + 1 < argc ? argv[i + 1] : "", argv[0], out, err);
        if (arg.starts_with("--bindings=")) return bindings(arg.substr(11), argv[0], out, err);
    }
    return std::nullopt;
}
