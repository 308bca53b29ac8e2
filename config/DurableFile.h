// Replaces a file's contents so that a crash leaves either the old or the new file, never
// a mix: temporary file in the same folder, fsync, rename, fsync of the folder. POSIX only.
#pragma once

#include "config/Status.h"

#include <filesystem>
#include <string_view>

namespace kaptivus::config {

// Creates the folder and any missing parents with mode 0700.
Status ensureFolder(const std::filesystem::path& folder);

// Who may read the written file: Private (0600, for settings) or Shared (a
// replaced file keeps its permissions, a new one gets what the umask gives).
enum class FileAccess { Private, Shared };

// Writes `bytes` to `file` durably. On failure the old file is untouched, no temporary
// file is left behind, and the message names the file and the reason. A name
// that is a symbolic link stays one: the file it leads to is replaced (never
// through another user's link in a shared sticky folder, which is refused).
Status writeFileDurably(const std::filesystem::path& file, std::string_view bytes,
    FileAccess access = FileAccess::Private);

// Like writeFileDurably, but an existing name is never replaced and a link is
// never followed: when anything holds the name, or appears there while this
// file is written, nothing is left behind and `taken` is set. Works on file
// systems without an exclusive rename or hard links (FAT, FUSE, SMB).
Status createFileDurably(const std::filesystem::path& file, std::string_view bytes, FileAccess access,
    bool& taken);

// Removes `file` and syncs its folder; a name that is already gone is success.
Status removeFileDurably(const std::filesystem::path& file);

// Replaces the program's own file (mode 0600) by renaming a new file over the
// name: whatever holds the name, a symbolic link included, is replaced itself,
// never followed. Refused for an entry that is not a file or a link, and for
// another user's entry in a sticky folder, which is that user's to replace.
Status replaceOwnFile(const std::filesystem::path& file, std::string_view bytes);

// Creates the folder (mode 0700) if it is missing; refused when the name is a
// link or not a folder, or the folder is another user's or open to others.
Status ensurePrivateFolder(const std::filesystem::path& folder);

} // namespace kaptivus::config
