// A FUSE mount without exclusive rename, hard links or permissions (the test
// tool nolinkfs), made in a mount namespace private to the test process so
// that nothing stays mounted whatever happens to the test. POSIX only.
#pragma once

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <sched.h>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace kaptivus::test {

class NoLinkMount {
public:
    // `chmodError` is what setting permissions fails with: "ENOSYS" (FUSE) or "EPERM" (FAT).
    NoLinkMount(const std::filesystem::path& root, const char* chmodError)
        : m_backing(root / "backing"), m_mountPoint(root / "mount")
    {
#ifndef KAPTIVUS_NOLINKFS
        (void)chmodError;
        m_skipReason = "the FUSE test file system was not built (libfuse3-dev is missing)";
#else
        if (::geteuid() != 0) {
            m_skipReason = "mounting a test file system needs root";
            return;
        }
        if (::access("/dev/fuse", R_OK | W_OK) != 0) {
            m_skipReason = "this machine has no /dev/fuse";
            return;
        }
        if (!enterPrivateNamespace()) {
            m_skipReason = "no private mount namespace can be made here";
            return;
        }
        std::filesystem::create_directories(m_backing);
        std::filesystem::create_directories(m_mountPoint);
        m_pid = ::fork();
        if (m_pid == 0) {
            ::execl(KAPTIVUS_NOLINKFS, KAPTIVUS_NOLINKFS, m_backing.c_str(), m_mountPoint.c_str(), chmodError,
                static_cast<char*>(nullptr));
            ::_exit(127);
        }
        if (!waitForMount()) m_skipReason = "the FUSE test file system did not mount";
#endif
    }

    ~NoLinkMount()
    {
        if (m_pid <= 0) return;
        ::umount2(m_mountPoint.c_str(), MNT_DETACH);
        ::kill(m_pid, SIGTERM);
        ::waitpid(m_pid, nullptr, 0);
    }
    NoLinkMount(const NoLinkMount&) = delete;
    NoLinkMount& operator=(const NoLinkMount&) = delete;

    // Empty when mounted; otherwise why the test cannot run here.
    const std::string& skipReason() const { return m_skipReason; }
    const std::filesystem::path& path() const { return m_mountPoint; }
    // The same files seen without the mount in between.
    const std::filesystem::path& backing() const { return m_backing; }

private:
    static bool enterPrivateNamespace()
    {
        static const bool entered
            = ::unshare(CLONE_NEWNS) == 0 && ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
        return entered;
    }

    bool waitForMount()
    {
        struct stat parent { };
        if (::stat(m_mountPoint.parent_path().c_str(), &parent) != 0) return false;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            struct stat mounted { };
            if (::stat(m_mountPoint.c_str(), &mounted) == 0 && mounted.st_dev != parent.st_dev) return true;
            if (::waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
                m_pid = -1;
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }

    std::filesystem::path m_backing;
    std::filesystem::path m_mountPoint;
    pid_t m_pid = -1;
    std::string m_skipReason;
};

} // namespace kaptivus::test
