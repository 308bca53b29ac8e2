// Whether a settings file could have been written by someone other than its user: the
// file, its folder and the folders above it must belong to the user or to root and must
// not be open to every user's writes. POSIX only, no Qt.
#pragma once

#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>

namespace kaptivus::config {

// Why the file whose status is `file` (as fstat gave it for the open file at `path`) is
// not to be trusted by user `uid`; empty when it can be. A folder open to every user's
// writes is accepted above the file's own folder only when it has the sticky bit (as
// /tmp has), where nobody can rename or remove another user's entries.
std::string untrustedBecause(const std::filesystem::path& path, const struct stat& file, uid_t uid);

} // namespace kaptivus::config
