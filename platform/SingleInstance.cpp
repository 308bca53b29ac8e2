// The single-instance lock: flock() on a per-display file in the user's
// runtime folder. The descriptor is close-on-exec so that programs the agent
// starts (an editor) never inherit the lock and outlive it holding it.
#include "platform/SingleInstance.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kaptivus::platform {

namespace {

bool isSafeChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
}

// A folder we own, mode 0700, that is not a symbolic link.
bool isPrivateFolder(const std::string& path)
{
    struct stat st { };
    if (lstat(path.c_str(), &st) != 0) return false;
    return S_ISDIR(st.st_mode) && st.st_uid == geteuid() && (st.st_mode & 077) == 0;
}

// $XDG_RUNTIME_DIR when it is a private folder; relative paths are refused.
std::string runtimeFolder()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!runtime || runtime[0] != '/') return {};
    const std::string folder(runtime);
    return isPrivateFolder(folder) ? folder : std::string();
}

// <temp>/kaptivus-<uid>, created mode 0700 when missing. Someone else's folder
// of that name, or a link, is not used.
std::string tempFolder()
{
    const char* tmp = std::getenv("TMPDIR");
    std::string base = (tmp && tmp[0] == '/') ? tmp : "/tmp";
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    const std::string folder = base + "/kaptivus-" + std::to_string(geteuid());
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return {};
    return isPrivateFolder(folder) ? folder : std::string();
}

} // namespace

std::string sanitisedDisplayName(std::string_view display)
{
    // The screen number after the display number names the same session.
    const auto colon = display.rfind(':');
    if (colon != std::string_view::npos) {
        const auto dot = display.find('.', colon);
        if (dot != std::string_view::npos) display = display.substr(0, dot);
    }
    if (!display.empty() && display.front() == ':') display.remove_prefix(1);
    std::string name;
    for (char c : display)
        name += isSafeChar(c) ? c : '_';
    if (name.size() > 100) name.resize(100);
    return name.empty() ? std::string("default") : name;
}

std::string singleInstanceLockPath(std::string_view name, std::string_view display)
{
    std::string folder = runtimeFolder();
    if (folder.empty()) folder = tempFolder();
    if (folder.empty()) return {};
    return folder + "/" + std::string(name) + "." + sanitisedDisplayName(display) + ".lock";
}

SingleInstanceLock::~SingleInstanceLock()
{
    if (m_fd >= 0) close(m_fd);
}

SingleInstanceLock::Result SingleInstanceLock::tryAcquire(const std::string& path)
{
    if (m_fd >= 0) return Result::First;
    if (path.empty()) return Result::Unavailable;
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return Result::Unavailable;
    int rc;
    do {
        rc = flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc == 0) {
        m_fd = fd;
        return Result::First;
    }
    const int error = errno;
    close(fd);
    return error == EWOULDBLOCK ? Result::AlreadyRunning : Result::Unavailable;
}

bool acquireSingleInstance(std::string_view name)
{
    // Held until the process ends: the kernel releases it then.
    static SingleInstanceLock lock;
    const char* display = std::getenv("DISPLAY");
    const auto result = lock.tryAcquire(singleInstanceLockPath(name, display ? display : ""));
    return result != SingleInstanceLock::Result::AlreadyRunning;
}

} // namespace kaptivus::platform
