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

} // namespace kaptivus::config
