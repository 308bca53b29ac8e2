// The one-agent-per-desktop-session lock: an flock() on a file named after the
// lock and the X display. The kernel drops it when the process dies, however it dies.
#pragma once

#include <string>
#include <string_view>

namespace kaptivus::platform {

// The display part of a lock file name: ":0" and ":0.0" give "0",
// "host:10.0" gives "host_10"; anything but letters, digits, '-' and '_' becomes '_'.
std::string sanitisedDisplayName(std::string_view display);

// Where the lock for `name` on `display` lives:
// $XDG_RUNTIME_DIR/<name>.<display>.lock, or, without a usable runtime folder,
// <temp dir>/kaptivus-<uid>/<name>.<display>.lock (that folder is created mode 0700).
// Empty when no safe folder exists.
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
    // opened at all (no usable folder); the caller decides what that means.
    Result tryAcquire(const std::string& path);
    bool isHeld() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

// The agent's check: locks "<name>.<$DISPLAY>" for the rest of the process's
// life. True when this process is the first; also true when no lock file can be
// made at all, so a broken runtime folder never keeps the program from starting.
bool acquireSingleInstance(std::string_view name = "Kaptivus_v5");

} // namespace kaptivus::platform
