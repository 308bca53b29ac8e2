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
// file is left behind, and the message names the file and the reason.
Status writeFileDurably(const std::filesystem::path& file, std::string_view bytes,
    FileAccess access = FileAccess::Private);

// Like writeFileDurably, but an existing name is never replaced: when a file of
// that name exists, or appears while this one is written, nothing is left
// behind and `taken` is set.
Status createFileDurably(const std::filesystem::path& file, std::string_view bytes, FileAccess access,
    bool& taken);

// Removes `file` and syncs its folder; a name that is already gone is success.
Status removeFileDurably(const std::filesystem::path& file);

// Replaces a file in a folder other users may write to (the temporary folder):
// the name is refused when it is a symbolic link, not a plain file, or a file
// of another user, so nothing is ever written through a planted link; the new
// contents are written to a file created here and renamed over the name.
Status replaceOwnFile(const std::filesystem::path& file, std::string_view bytes);

} // namespace kaptivus::config
