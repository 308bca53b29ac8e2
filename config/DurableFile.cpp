// Durable replacement of a file: temporary file, fsync, rename, fsync of the folder.
#include "config/DurableFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace kaptivus::config {

namespace {

Status failure(const std::filesystem::path& file, std::string_view step, int error)
{
    return Status::failure("Cannot write " + file.string() + ": " + std::string(step) + ": " + std::strerror(error));
}

bool writeAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

Status syncFolder(const std::filesystem::path& file, const std::filesystem::path& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return failure(file, "open folder", errno);
    // Some file systems cannot sync a folder (EINVAL); the rename itself has been made then.
    const int result = ::fsync(fd);
    const int error = errno;
    ::close(fd);
    if (result != 0 && error != EINVAL) return failure(file, "sync folder", error);
    return Status::success();
}

// The permissions a shared file is given: a replaced file keeps its own, a new
// one gets what the user's umask allows.
mode_t sharedMode(const std::filesystem::path& file)
{
    struct stat info { };
    if (::stat(file.c_str(), &info) == 0) return info.st_mode & 07777;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

} // namespace

Status ensureFolder(const std::filesystem::path& folder)
{
    std::filesystem::path prefix;
    for (const auto& part : folder) {
        prefix /= part;
        if (::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST)
            return Status::failure("Cannot create folder " + prefix.string() + ": " + std::strerror(errno));
    }
    struct stat info { };
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        return Status::failure("Cannot create folder " + folder.string() + ": not a folder");
    return Status::success();
}

namespace {

enum class Existing { Replace, Keep };

// Writes a synced temporary file beside `file` and moves it to the name.
Status writeThenRename(const std::filesystem::path& file, std::string_view bytes, FileAccess access,
    Existing existing, bool& taken)
{
    taken = false;
    const std::filesystem::path folder = file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
    std::string pattern = (folder / ("." + file.filename().string() + ".XXXXXX")).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) return failure(file, "create temporary file", errno);
    const std::string temporary(name.data());
    const auto abandon = [&](std::string_view step, int error) {
        ::unlink(temporary.c_str());
        return failure(file, step, error);
    };
    // The temporary file is created private; a shared file gets its permissions
    // before it takes the name, so it is never seen with the wrong ones.
    if (access == FileAccess::Shared && ::fchmod(fd, sharedMode(file)) != 0) {
        const int error = errno;
        ::close(fd);
        return abandon("set permissions", error);
    }
    if (!writeAll(fd, bytes)) {
        const int error = errno;
        ::close(fd);
        return abandon("write", error);
    }
    if (::fsync(fd) != 0) {
        const int error = errno;
        ::close(fd);
        return abandon("sync", error);
    }
    if (::close(fd) != 0) return abandon("close", errno);
    if (existing == Existing::Replace) {
        if (::rename(temporary.c_str(), file.c_str()) != 0) return abandon("rename", errno);
    } else {
        // A rename that refuses an existing name; a file system without it
        // gets a hard link, which fails on an existing name as well.
        int result = ::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, file.c_str(), RENAME_NOREPLACE);
        if (result != 0 && (errno == EINVAL || errno == ENOSYS)) {
            result = ::link(temporary.c_str(), file.c_str());
            if (result == 0) ::unlink(temporary.c_str());
        }
        if (result != 0) {
            const int error = errno;
            taken = error == EEXIST;
            return abandon("create", error);
        }
    }
    return syncFolder(file, folder);
}

} // namespace

Status writeFileDurably(const std::filesystem::path& file, std::string_view bytes, FileAccess access)
{
    bool taken = false;
    return writeThenRename(file, bytes, access, Existing::Replace, taken);
}

Status createFileDurably(const std::filesystem::path& file, std::string_view bytes, FileAccess access, bool& taken)
{
    return writeThenRename(file, bytes, access, Existing::Keep, taken);
}

Status removeFileDurably(const std::filesystem::path& file)
{
    if (::unlink(file.c_str()) != 0) {
        if (errno == ENOENT) return Status::success();
        return Status::failure("Cannot remove " + file.string() + ": " + std::strerror(errno));
    }
    // The name is gone once unlink returns; the sync only makes that last.
    (void)syncFolder(file, file.parent_path());
    return Status::success();
}

Status replaceOwnFile(const std::filesystem::path& file, std::string_view bytes)
{
    struct stat info { };
    if (::lstat(file.c_str(), &info) == 0) {
        if (S_ISLNK(info.st_mode))
            return Status::failure("Cannot write " + file.string() + ": it is a symbolic link");
        if (!S_ISREG(info.st_mode))
            return Status::failure("Cannot write " + file.string() + ": not a file");
        if (info.st_uid != ::geteuid())
            return Status::failure("Cannot write " + file.string() + ": the file belongs to another user");
    } else if (errno != ENOENT) {
        return failure(file, "look up", errno);
    }
    // The rename replaces whatever holds the name by then without following it,
    // and the sticky temporary folder refuses it for another user's entry.
    return writeFileDurably(file, bytes, FileAccess::Private);
}

} // namespace kaptivus::config
