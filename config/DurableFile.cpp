// Durable replacement of a file: temporary file, fsync, rename, fsync of the folder.
#include "config/DurableFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <climits>
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

// A file system without Unix permissions (FAT, many FUSE and SMB mounts)
// refuses to set them on a file this process has just created; the file then
// has whatever the mount gives every file.
bool hasNoPermissions(int error) { return error == EPERM || error == ENOSYS || error == EOPNOTSUPP; }

// The rename that refuses an existing name is missing on many FUSE and SMB mounts.
bool hasNoExclusiveRename(int error) { return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP; }

// A link that another user left in a shared folder (sticky and open to all,
// as /tmp) is not followed, as the kernel itself refuses: it could lead a save
// onto any file of this user's.
bool isPlantedLink(const std::filesystem::path& link, const struct stat& info)
{
    struct stat folder { };
    const std::filesystem::path parent = link.has_parent_path() ? link.parent_path() : std::filesystem::path(".");
    if (::stat(parent.c_str(), &folder) != 0) return false;
    const bool shared = (folder.st_mode & S_ISVTX) != 0 && (folder.st_mode & S_IWOTH) != 0;
    return shared && info.st_uid != ::geteuid() && info.st_uid != folder.st_uid;
}

// Symbolic links are followed here, one at a time, so that the file they
// lead to is replaced in its own folder and the links stay; a relative
// target counts from the folder of the link that names it.
Status followLinks(std::filesystem::path& file)
{
    constexpr int kMaxLinks = 40; // as the kernel's own limit
    for (int hop = 0; hop < kMaxLinks; ++hop) {
        struct stat info { };
        if (::lstat(file.c_str(), &info) != 0) {
            if (errno == ENOENT) return Status::success();
            return failure(file, "look up", errno);
        }
        if (!S_ISLNK(info.st_mode)) return Status::success();
        if (isPlantedLink(file, info))
            return Status::failure("Cannot write " + file.string() + ": the link belongs to another user");
        std::vector<char> target(PATH_MAX + 1);
        const ssize_t length = ::readlink(file.c_str(), target.data(), target.size());
        if (length < 0) return failure(file, "read link", errno);
        if (static_cast<size_t>(length) >= target.size()) return failure(file, "read link", ENAMETOOLONG);
        const std::filesystem::path next(std::string(target.data(), static_cast<size_t>(length)));
        file = next.is_absolute() ? next : file.parent_path() / next;
    }
    return failure(file, "follow links", ELOOP);
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

// Writes everything, syncs and closes; the error number of the step that failed, or 0.
int writeSyncClose(int fd, std::string_view bytes, std::string_view& step)
{
    int error = 0;
    if (!writeAll(fd, bytes)) {
        error = errno;
        step = "write";
    } else if (::fsync(fd) != 0) {
        error = errno;
        step = "sync";
    }
    if (::close(fd) != 0 && error == 0) {
        error = errno;
        step = "close";
    }
    return error;
}

// Without an exclusive rename or hard links the final name itself is created
// exclusively and written in place; a write that fails removes it again, so
// an existing file is never touched and a partial one never left.
Status createInPlace(const std::filesystem::path& file, std::string_view bytes, FileAccess access, bool& taken)
{
    const mode_t mode = access == FileAccess::Private ? 0600 : 0666;
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0) {
        taken = errno == EEXIST;
        return failure(file, "create", errno);
    }
    std::string_view step;
    if (const int error = writeSyncClose(fd, bytes, step); error != 0) {
        ::unlink(file.c_str());
        return failure(file, step, error);
    }
    return Status::success();
}

// Moves the synced temporary file to a name nobody holds: an exclusive rename,
// else a hard link, else (both missing) the name created in place.
Status moveToFreeName(const std::string& temporary, const std::filesystem::path& file, std::string_view bytes,
    FileAccess access, bool& taken)
{
    int result = ::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, file.c_str(), RENAME_NOREPLACE);
    if (result == 0) return Status::success();
    int error = errno;
    if (hasNoExclusiveRename(error)) {
        result = ::link(temporary.c_str(), file.c_str());
        error = errno;
        if (result == 0 || error != EEXIST) ::unlink(temporary.c_str());
        if (result == 0) return Status::success();
        if (error != EEXIST) return createInPlace(file, bytes, access, taken);
    }
    ::unlink(temporary.c_str());
    taken = error == EEXIST;
    return failure(file, "create", error);
}

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
    if (access == FileAccess::Shared && ::fchmod(fd, sharedMode(file)) != 0 && !hasNoPermissions(errno)) {
        const int error = errno;
        ::close(fd);
        return abandon("set permissions", error);
    }
    std::string_view step;
    if (const int error = writeSyncClose(fd, bytes, step); error != 0) return abandon(step, error);
    if (existing == Existing::Replace) {
        if (::rename(temporary.c_str(), file.c_str()) != 0) return abandon("rename", errno);
    } else if (Status moved = moveToFreeName(temporary, file, bytes, access, taken); !moved) {
        return moved;
    }
    return syncFolder(file, folder);
}

} // namespace

Status writeFileDurably(const std::filesystem::path& file, std::string_view bytes, FileAccess access)
{
    std::filesystem::path target = file;
    if (Status followed = followLinks(target); !followed) return followed;
    bool taken = false;
    return writeThenRename(target, bytes, access, Existing::Replace, taken);
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
    const std::filesystem::path folder = file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
    struct stat info { };
    struct stat folderInfo { };
    if (::lstat(file.c_str(), &info) == 0) {
        if (!S_ISREG(info.st_mode) && !S_ISLNK(info.st_mode))
            return Status::failure("Cannot write " + file.string() + ": not a file");
        // A sticky folder keeps each user's entries to that user (and the
        // folder's owner); such a name is another user's to replace, even for root.
        const uid_t self = ::geteuid();
        if (::stat(folder.c_str(), &folderInfo) == 0 && (folderInfo.st_mode & S_ISVTX) != 0
            && info.st_uid != self && folderInfo.st_uid != self)
            return Status::failure("Cannot write " + file.string() + ": the name belongs to another user");
    } else if (errno != ENOENT) {
        return failure(file, "look up", errno);
    }
    // The rename replaces whatever holds the name, a link included, without following it.
    bool taken = false;
    return writeThenRename(file, bytes, FileAccess::Private, Existing::Replace, taken);
}

Status ensurePrivateFolder(const std::filesystem::path& folder)
{
    const auto refuse = [&](const std::string& why) {
        return Status::failure("Cannot use folder " + folder.string() + ": " + why);
    };
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return refuse(std::strerror(errno));
    // Opened without following a link, then checked through the descriptor, so
    // that what is checked is what holds the name.
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return refuse(errno == ELOOP || errno == ENOTDIR ? "not a folder" : std::strerror(errno));
    struct stat info { };
    const int result = ::fstat(fd, &info);
    const int error = errno;
    ::close(fd);
    if (result != 0) return refuse(std::strerror(error));
    if (info.st_uid != ::geteuid()) return refuse("the folder belongs to another user");
    if ((info.st_mode & 077) != 0) return refuse("other users may enter the folder");
    return Status::success();
}

} // namespace kaptivus::config
