// The single-instance lock: flock() on a per-display file in a folder that is
// certainly the user's own. The descriptor is close-on-exec so that programs
// the agent starts (an editor) never inherit the lock and outlive it holding it.
#include "platform/SingleInstance.h"

#include "platform/CaptureBackend.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kaptivus::platform {

namespace {

bool isSafeChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
}

std::string withoutTrailingSlashes(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

// Empty when the folder is ours alone: a real folder (not a link), owned by
// us, that nobody else may read, enter or write.
std::string privacyProblem(const std::string& folder)
{
    struct stat st { };
    if (lstat(folder.c_str(), &st) != 0) return folder + ": " + std::strerror(errno);
    if (!S_ISDIR(st.st_mode)) return folder + " is not a folder";
    if (st.st_uid != geteuid()) return folder + " belongs to another user";
    if ((st.st_mode & 077) != 0) return folder + " is open to other users";
    return {};
}

// $XDG_RUNTIME_DIR when it is a private folder; relative paths are refused.
std::string runtimeFolder()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!runtime || runtime[0] != '/') return {};
    const std::string folder = withoutTrailingSlashes(runtime);
    return privacyProblem(folder).empty() ? folder : std::string();
}

// ${XDG_CACHE_HOME:-$HOME/.cache}; the password database stands in for an unset HOME.
std::string cacheHome()
{
    const char* cache = std::getenv("XDG_CACHE_HOME");
    if (cache && cache[0] == '/') return withoutTrailingSlashes(cache);
    const char* home = std::getenv("HOME");
    if (!home || home[0] != '/') {
        const passwd* entry = getpwuid(geteuid());
        home = entry ? entry->pw_dir : nullptr;
    }
    if (!home || home[0] != '/') return {};
    return withoutTrailingSlashes(home) + "/.cache";
}

// Creates each missing folder of the path with mode 0700, as the cache
// folder's own convention asks. Empty on success, else the reason.
std::string makeFolders(const std::string& path)
{
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return "cannot create " + part + ": " + std::strerror(errno);
        if (slash == std::string::npos) return {};
    }
}

std::string hostPart()
{
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) != 0) host[0] = '\0';
    std::string name;
    for (const char* c = host; *c && name.size() < 64; ++c)
        name += isSafeChar(*c) ? *c : '_';
    return name.empty() ? std::string("localhost") : name;
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

LockLocation locateSingleInstanceLock(std::string_view name, std::string_view display)
{
    const std::string file = std::string(name) + "." + sanitisedDisplayName(display);
    if (const std::string runtime = runtimeFolder(); !runtime.empty()) return { runtime + "/" + file + ".lock", {} };
    const std::string cache = cacheHome();
    if (cache.empty()) return { {}, "no home folder is known (HOME is not set)" };
    const std::string folder = cache + "/kaptivus2000";
    if (std::string problem = makeFolders(folder); !problem.empty()) return { {}, problem };
    if (std::string problem = privacyProblem(folder); !problem.empty()) return { {}, problem };
    // A home folder may be shared between machines, each with its own display ":0".
    return { folder + "/" + file + "." + hostPart() + ".lock", {} };
}

std::string singleInstanceLockPath(std::string_view name, std::string_view display)
{
    return locateSingleInstanceLock(name, display).path;
}

SingleInstanceLock::~SingleInstanceLock()
{
    if (m_fd >= 0) close(m_fd);
}

SingleInstanceLock::Result SingleInstanceLock::tryAcquire(const std::string& path)
{
    if (m_fd >= 0) return Result::First;
    m_error.clear();
    if (path.empty()) {
        m_error = "no lock file";
        return Result::Unavailable;
    }
    // Non-blocking, so that something other than a file in its place cannot hang the start.
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
    if (fd < 0) {
        m_error = "cannot open " + path + ": " + std::strerror(errno);
        return Result::Unavailable;
    }
    struct stat st { };
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        m_error = path + " is not a regular file";
        return Result::Unavailable;
    }
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
    if (error == EWOULDBLOCK) return Result::AlreadyRunning;
    m_error = "cannot lock " + path + ": " + std::strerror(error);
    return Result::Unavailable;
}

std::string sessionDisplay()
{
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if (currentSession() == SessionKind::Wayland) return wayland && *wayland ? wayland : "wayland-0";
    const char* display = std::getenv("DISPLAY");
    return display ? display : "";
}

InstanceCheck acquireSingleInstance(std::string_view name)
{
    // Held until the process ends: the kernel releases it then.
    static SingleInstanceLock lock;
    const LockLocation where = locateSingleInstanceLock(name, sessionDisplay());
    if (where.path.empty()) return { SingleInstanceLock::Result::Unavailable, where.error };
    const auto result = lock.tryAcquire(where.path);
    return { result, lock.errorText() };
}

} // namespace kaptivus::platform
