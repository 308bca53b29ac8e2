#include "app/CommandLine.h"

#include "config/Autostart.h"

#include <cstdlib>
#include <filesystem>
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

} // namespace

std::optional<int> RunCommandLine(int argc, char** argv, std::ostream& out, std::ostream& err)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--version") {
            out << "Kaptivus 2000 " KAPTIVUS_VERSION "\n";
            return 0;
        }
        if (arg == "--autostart") return autostart(i + 1 < argc ? argv[i + 1] : "", argv[0], out, err);
        if (arg.starts_with("--autostart=")) return autostart(arg.substr(12), argv[0], out, err);
    }
    return std::nullopt;
}
