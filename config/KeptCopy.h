// Keeps a settings file as it was, beside it, before the program replaces it: the first
// free name among <file>.bad, <file>.bad.1, <file>.bad.2, ... Never replaces an existing
// copy. Standard library and POSIX only.
#pragma once

#include <filesystem>
#include <string>

namespace kaptivus::config {

// Beyond this many copies the file is no longer copied (and so not replaced).
inline constexpr int kMaxKeptCopies = 1000;

struct KeptCopy {
    std::filesystem::path path; // the copy, when one was made
    std::string error; // why no copy could be made; empty on success
    bool ok() const { return error.empty(); }
};

// The name of the n-th kept copy: n = 0 gives "<file>.bad", n > 0 "<file>.bad.<n>".
std::filesystem::path keptCopyName(const std::filesystem::path& file, int n);

// Copies the file byte for byte (mode 0600) to the first free kept-copy name and flushes
// the copy and its folder to disk. A partial copy is removed again.
KeptCopy keepCopyAside(const std::filesystem::path& file);

} // namespace kaptivus::config
