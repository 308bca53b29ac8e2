// The login autostart entry: an XDG desktop entry in the user's autostart folder.
#include "config/Autostart.h"

#include "config/DurableFile.h"

namespace kaptivus::config {

std::filesystem::path autostartFile(const char* xdgConfigHome, const char* home)
{
    std::filesystem::path config;
    if (xdgConfigHome && xdgConfigHome[0] == '/') {
        config = xdgConfigHome;
    } else if (home && home[0] == '/') {
        config = std::filesystem::path(home) / ".config";
    } else {
        return {};
    }
    return config / "autostart" / "kaptivus2000.desktop";
}

std::string desktopExecArgument(std::string_view program)
{
    // An argument holding a reserved character is quoted, and inside the quotes
    // ", `, $ and \ take a backslash. A literal % is written %%.
    constexpr std::string_view reserved = " \t\n\"'\\><~|&;$*?#()`";
    const bool quote = program.find_first_of(reserved) != std::string_view::npos;
    std::string exec;
    if (quote) exec += '"';
    for (const char c : program) {
        if (quote && (c == '"' || c == '`' || c == '$' || c == '\\')) exec += '\\';
        if (c == '%') exec += '%';
        exec += c;
    }
    if (quote) exec += '"';
    // The Exec value is itself a desktop entry string, whose own escapes come
    // on top: every backslash is doubled, control characters are spelt out.
    std::string value;
    for (const char c : exec) {
        switch (c) {
        case '\\': value += "\\\\"; break;
        case '\n': value += "\\n"; break;
        case '\t': value += "\\t"; break;
        case '\r': value += "\\r"; break;
        default: value += c;
        }
    }
    return value;
}

std::string autostartEntry(std::string_view program)
{
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Kaptivus 2000\n"
           "Comment=Screen capture by hotkey, from the system tray\n"
           "Comment[fr]=Capture d'écran par raccourci clavier, depuis la zone de notification\n"
           "Exec=" + desktopExecArgument(program) + "\n"
           "Icon=kaptivus2000\n"
           "Terminal=false\n"
           "StartupNotify=false\n";
}

Status enableAutostart(const std::filesystem::path& file, std::string_view program)
{
    if (file.empty()) return Status::failure("Cannot find the autostart folder: neither XDG_CONFIG_HOME nor HOME is set");
    if (Status made = ensureFolder(file.parent_path()); !made) return made;
    return writeFileDurably(file, autostartEntry(program), FileAccess::Shared);
}

Status disableAutostart(const std::filesystem::path& file)
{
    if (file.empty()) return Status::failure("Cannot find the autostart folder: neither XDG_CONFIG_HOME nor HOME is set");
    return removeFileDurably(file);
}

} // namespace kaptivus::config
