// Durable replacement of a file: temporary file, fsync, rename, fsync of the folder.
#include "config/DurableFile.h"

#include <cerrno>
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

Status writeFileDurably(const std::filesystem::path& file, std::string_view bytes, FileAccess access)
{
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
    if (::rename(temporary.c_str(), file.c_str()) != 0) return abandon("rename", errno);
    return syncFolder(file, folder);
}

} // namespace kaptivus::config
