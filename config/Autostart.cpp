// The login autostart entry: an XDG desktop entry in the user's autostart folder.
#include "config/Autostart.h"

#include "config/DurableFile.h"
#include "config/Utf8.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

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
    return config / "autostart" / "org.kaptivus.kaptivus2000.desktop";
}

std::filesystem::path legacyAutostartFile(const std::filesystem::path& file)
{
    return file.parent_path() / "kaptivus2000.desktop";
}

namespace {

// The entry under the earlier name, unless that is the entry itself.
Status removeLegacy(const std::filesystem::path& file)
{
    const auto legacy = legacyAutostartFile(file);
    return legacy == file ? Status::success() : removeFileDurably(legacy);
}

} // namespace

Status migrateAutostart(const std::filesystem::path& file)
{
    const auto legacy = legacyAutostartFile(file);
    if (file.empty() || legacy == file) return Status::success();
    std::error_code error;
    if (!std::filesystem::is_regular_file(legacy, error) || std::filesystem::exists(file, error)) return Status::success();
    // rename() would replace an entry made meanwhile; link() refuses to.
    if (::link(legacy.c_str(), file.c_str()) != 0)
        return Status::failure("Cannot rename the autostart entry " + legacy.string() + ": " + std::strerror(errno));
    return removeFileDurably(legacy);
}

namespace {

bool isControl(unsigned char c)
{
    return c < 0x20 || c == 0x7f;
}

// The path as a message can show it: control characters, and every byte of
// a path that is not UTF-8, spelt \xNN.
std::string shown(std::string_view program)
{
    const bool utf8 = isValidUtf8(program);
    std::string text;
    for (const char c : program) {
        const auto byte = static_cast<unsigned char>(c);
        if (isControl(byte) || (!utf8 && byte >= 0x80)) {
            constexpr char hex[] = "0123456789abcdef";
            text += "\\x";
            text += hex[byte >> 4];
            text += hex[byte & 15];
        } else {
            text += c;
        }
    }
    return text;
}

// The program as one argument of an Exec key: an argument holding a reserved
// character is quoted, and inside the quotes ", `, $ and \ take a backslash.
// A literal % is written %%.
std::string quotedArgument(std::string_view program)
{
    constexpr std::string_view reserved = " \t\n\r\"'\\><~|&;$*?#()`";
    const bool quote = program.find_first_of(reserved) != std::string_view::npos;
    std::string exec;
    if (quote) exec += '"';
    for (const char c : program) {
        if (quote && (c == '"' || c == '`' || c == '$' || c == '\\')) exec += '\\';
        if (c == '%') exec += '%';
        exec += c;
    }
    if (quote) exec += '"';
    return exec;
}

} // namespace

std::string autostartRefusal(std::string_view program)
{
    const std::string prefix = "Cannot write an autostart entry for " + shown(program) + ": ";
    if (program.empty() || program.front() != '/') return prefix + "the program's path is not absolute";
    if (!isValidUtf8(program)) return prefix + "a desktop entry holds UTF-8 text only, and this path is not UTF-8";
    for (const char c : program) {
        if (isControl(static_cast<unsigned char>(c)) && c != '\t' && c != '\n' && c != '\r')
            return prefix + "a desktop entry cannot hold control characters";
    }
    // Launchers check that the first word of Exec names a file before they turn
    // %% back into %, so a path with % is started through env, which in turn
    // would take a word holding = for a variable to set.
    if (program.find('%') != std::string_view::npos && program.find('=') != std::string_view::npos)
        return prefix + "desktop launchers cannot start a path holding both % and =";
    return {};
}

std::string desktopExecValue(std::string_view program)
{
    std::string exec = quotedArgument(program);
    if (program.find('%') != std::string_view::npos) exec = "/usr/bin/env " + exec;
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
           "Exec=" + desktopExecValue(program) + "\n"
           "Icon=kaptivus2000\n"
           "Terminal=false\n"
           "StartupNotify=false\n";
}

Status enableAutostart(const std::filesystem::path& file, std::string_view program)
{
    if (file.empty()) return Status::failure("Cannot find the autostart folder: neither XDG_CONFIG_HOME nor HOME is set");
    if (std::string refusal = autostartRefusal(program); !refusal.empty()) return Status::failure(refusal);
    if (Status made = ensureFolder(file.parent_path()); !made) return made;
    if (Status written = writeFileDurably(file, autostartEntry(program), FileAccess::Shared); !written) return written;
    return removeLegacy(file);
}

Status disableAutostart(const std::filesystem::path& file)
{
    if (file.empty()) return Status::failure("Cannot find the autostart folder: neither XDG_CONFIG_HOME nor HOME is set");
    if (Status removed = removeFileDurably(file); !removed) return removed;
    return removeLegacy(file);
}

} // namespace kaptivus::config
