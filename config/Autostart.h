// The user's login autostart entry for the agent: where it lives, what it says,
// and writing or removing it in one step. Standard library and POSIX only.
#pragma once

#include "config/Status.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace kaptivus::config {

// ${XDG_CONFIG_HOME}/autostart/org.kaptivus.kaptivus2000.desktop, or
// ~/.config/... when XDG_CONFIG_HOME is unset, empty or relative (relative
// values are to be ignored). Empty when neither an absolute XDG_CONFIG_HOME
// nor HOME is known. The entry is named after the application id, like the
// installed one: desktops that start it name the program after the entry.
std::filesystem::path autostartFile(const char* xdgConfigHome, const char* home);

// The name earlier versions gave the entry, beside `file`.
std::filesystem::path legacyAutostartFile(const std::filesystem::path& file);

// An entry under the earlier name moves to the current one, as the user left
// it, unless an entry already has that name. Nothing to do is success.
Status migrateAutostart(const std::filesystem::path& file);

// Why launchers could not start `program` from a desktop entry (a path that is
// not UTF-8, holds a control character other than tab and line breaks, or
// holds both % and =), or empty when they can.
std::string autostartRefusal(std::string_view program);

// The Exec value that starts `program`, escaped for the entry's string syntax.
// A path holding % goes behind /usr/bin/env: launchers look for the program's
// own file before they turn %% back into %.
std::string desktopExecValue(std::string_view program);

// The text of the entry that starts `program` at login.
std::string autostartEntry(std::string_view program);

// Writes the entry atomically (creating the folder if needed); a reader sees
// the old entry or the new one, never a part. An entry under the earlier name
// goes, so the program starts once. A program that autostartRefusal turns down
// is refused with that reason and nothing is written.
Status enableAutostart(const std::filesystem::path& file, std::string_view program);
// Removes the entry, and one under the earlier name; absent already is success.
Status disableAutostart(const std::filesystem::path& file);

} // namespace kaptivus::config
