// Ownership and permission checks on the settings file and the folders that hold it.
#include "config/RegistryTrust.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace kaptivus::config {

namespace {

// Someone other than the user and root could change what stands here.
std::string untrustedEntry(const std::filesystem::path& path, const struct stat& info, uid_t uid, bool stickyAllowed)
{
    if (info.st_uid != uid && info.st_uid != 0)
        return path.string() + " belongs to another user (uid " + std::to_string(info.st_uid) + ")";
    const bool sticky = S_ISDIR(info.st_mode) && (info.st_mode & S_ISVTX) != 0;
    if ((info.st_mode & S_IWOTH) != 0 && !(stickyAllowed && sticky))
        return path.string() + " can be written by every user";
    return {};
}

} // namespace

std::string untrustedBecause(const std::filesystem::path& path, const struct stat& file, uid_t uid)
{
    if (std::string why = untrustedEntry(path, file, uid, false); !why.empty()) return why;
    // The folders as they really are, links resolved: a link is only as safe as its target.
    const std::filesystem::path parent = path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
    const std::unique_ptr<char, decltype(&std::free)> real(::realpath(parent.c_str(), nullptr), &std::free);
    if (!real) return "cannot resolve " + parent.string() + ": " + std::strerror(errno);
    std::filesystem::path folder(real.get());
    for (bool own = true;; own = false) {
        struct stat info { };
        if (::stat(folder.c_str(), &info) != 0) return "cannot examine " + folder.string() + ": " + std::strerror(errno);
        if (std::string why = untrustedEntry(folder, info, uid, !own); !why.empty()) return why;
        if (folder == folder.root_path() || !folder.has_parent_path()) break;
        folder = folder.parent_path();
    }
    return {};
}

} // namespace kaptivus::config
