// The one-agent-per-desktop-session lock: an flock() on a file named after the
// lock and the X display, in a folder only the user can reach. The kernel drops
// it when the process dies, however it dies. No Qt, no X.
#pragma once

#include <string>
#include <string_view>

namespace kaptivus::platform {

// The display part of a lock file name: ":0" and ":0.0" give "0",
// "host:10.0" gives "host_10"; anything but letters, digits, '-' and '_' becomes '_'.
std::string sanitisedDisplayName(std::string_view display);

// Where the lock lives, or why there is no place for it.
struct LockLocation {
    std::string path;  // empty when no folder can be trusted
    std::string error; // what is wrong, when path is empty
};

// $XDG_RUNTIME_DIR/<name>.<display>.lock when that folder is private to the
// user; otherwise ${XDG_CACHE_HOME:-$HOME/.cache}/kaptivus2000/<name>.<display>.<host>.lock,
// that folder made mode 0700. A folder another user owns, one open to others,
// or a link is never used: a shared temp folder is not a candidate at all,
// since anyone can create a name there first.
LockLocation locateSingleInstanceLock(std::string_view name, std::string_view display);
// The path alone; empty when no safe folder exists.
std::string singleInstanceLockPath(std::string_view name, std::string_view display);

// Holds the lock while the object lives (and in any process it is not handed to:
// the descriptor is close-on-exec).
class SingleInstanceLock {
public:
    SingleInstanceLock() = default;
    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

    enum class Result { First, AlreadyRunning, Unavailable };
    // Tries once, without waiting. Unavailable: the lock file could not be
    // opened or locked at all; errorText() says why.
    Result tryAcquire(const std::string& path);
    bool isHeld() const { return m_fd >= 0; }
    const std::string& errorText() const { return m_error; }

private:
    int m_fd = -1;
    std::string m_error;
};

struct InstanceCheck {
    SingleInstanceLock::Result result;
    std::string error; // why, when Unavailable
};

// The display that names this session's agent: WAYLAND_DISPLAY on a Wayland
// session ("wayland-0", the library's default, when only XDG_SESSION_TYPE
// says so), DISPLAY otherwise; empty when neither is set.
std::string sessionDisplay();

// The agent's check: locks "<name>.<sessionDisplay()>" for the rest of the process's
// life. Unavailable means no lock could be made: the agent must not run then,
// or a second one could run beside it unseen.
InstanceCheck acquireSingleInstance(std::string_view name = "Kaptivus_v5");

} // namespace kaptivus::platform
