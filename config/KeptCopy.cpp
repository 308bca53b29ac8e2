// Numbered copies of a settings file that could not be read whole.
#include "config/KeptCopy.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kaptivus::config {

namespace {

// Closes a descriptor when it leaves scope.
struct Fd {
    int fd = -1;
    ~Fd()
    {
        if (fd >= 0) ::close(fd);
    }
};

std::string failure(const std::filesystem::path& file, const std::string& why)
{
    return "Cannot keep a copy of " + file.string() + ": " + why;
}

std::string failure(const std::filesystem::path& file, const std::string& step, int error)
{
    return failure(file, step + ": " + std::strerror(error));
}

// Copies everything from `in` to `out`; 0 or the errno of the failing call.
int copyAll(int in, int out)
{
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(in, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return errno;
        if (got == 0) return 0;
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::write(out, buffer + done, static_cast<size_t>(got - done));
            if (put < 0 && errno == EINTR) continue;
            if (put < 0) return errno;
            done += put;
        }
    }
}

// Creates the first free kept-copy name exclusively (O_EXCL never follows or replaces
// anything that stands there already).
int createFreeName(const std::filesystem::path& file, std::filesystem::path& name, int& error)
{
    for (int n = 0; n < kMaxKeptCopies; ++n) {
        name = keptCopyName(file, n);
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd >= 0) return fd;
        if (errno != EEXIST) {
            error = errno;
            return -1;
        }
    }
    error = EEXIST;
    return -1;
}

} // namespace

std::filesystem::path keptCopyName(const std::filesystem::path& file, int n)
{
    std::string name = file.string() + ".bad";
    if (n > 0) name += "." + std::to_string(n);
    return name;
}

KeptCopy keepCopyAside(const std::filesystem::path& file)
{
    Fd in { ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK) };
    if (in.fd < 0) return { {}, failure(file, "open", errno) };
    struct stat info { };
    if (::fstat(in.fd, &info) != 0 || !S_ISREG(info.st_mode)) return { {}, failure(file, "not a regular file") };

    std::filesystem::path name;
    int error = 0;
    Fd out { createFreeName(file, name, error) };
    if (out.fd < 0 && error == EEXIST)
        return { {}, failure(file, "every name up to " + keptCopyName(file, kMaxKeptCopies - 1).string() + " is taken") };
    if (out.fd < 0) return { {}, failure(file, "create " + name.string(), error) };
    error = copyAll(in.fd, out.fd);
    if (error == 0 && ::fsync(out.fd) != 0) error = errno;
    const int closed = ::close(out.fd);
    out.fd = -1;
    if (error == 0 && closed != 0) error = errno;
    if (error != 0) {
        ::unlink(name.c_str());
        return { {}, failure(file, "copy to " + name.string(), error) };
    }
    // The copy's name must survive a crash as surely as the rewrite that follows it.
    const std::filesystem::path folder = file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
    if (Fd dir { ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC) }; dir.fd >= 0) (void)::fsync(dir.fd);
    return { name, {} };
}

} // namespace kaptivus::config
