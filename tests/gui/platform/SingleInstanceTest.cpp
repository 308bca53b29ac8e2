// The single-instance lock across processes: exclusive, released by death
// (even SIGKILL), not inherited by programs the holder starts, and only ever
// in a folder that is certainly the user's own.
#include "platform/SingleInstance.h"

#include "platform/CommandChannel.h"

#include <QTemporaryDir>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <optional>
#include <gtest/gtest.h>
#include <string>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using kaptivus::platform::SingleInstanceLock;
using Result = SingleInstanceLock::Result;

namespace {

// Children only use async-signal-safe calls: the test process has Qt's threads.
char resultCode(Result r)
{
    return r == Result::First ? 'F' : r == Result::AlreadyRunning ? 'A' : 'U';
}

bool readByte(int fd, char& c)
{
    ssize_t n;
    do {
        n = read(fd, &c, 1);
    } while (n < 0 && errno == EINTR);
    return n == 1;
}

struct Child {
    pid_t pid = -1;
    int fromChild = -1; // the child writes its result here
};

// A process that waits until `go` reaches end of file (when given), tries the
// lock, reports, and holds what it got until it is killed.
Child startContender(const std::string& path, int goRead = -1, int goWrite = -1)
{
    int up[2];
    if (pipe(up) != 0) return {};
    const pid_t pid = fork();
    if (pid == 0) {
        close(up[0]);
        char c;
        if (goWrite >= 0) close(goWrite);
        if (goRead >= 0) readByte(goRead, c);
        SingleInstanceLock lock;
        const char code = resultCode(lock.tryAcquire(path));
        (void)!write(up[1], &code, 1);
        for (;;)
            pause();
    }
    close(up[1]);
    return Child { pid, up[0] };
}

char resultOf(const Child& child)
{
    char c = '?';
    return readByte(child.fromChild, c) ? c : '?';
}

void finish(Child& child)
{
    kill(child.pid, SIGKILL);
    waitpid(child.pid, nullptr, 0);
    close(child.fromChild);
}

class SingleInstance : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_path = m_dir.filePath(QStringLiteral("Kaptivus_v5.test.lock")).toStdString();
    }
    QTemporaryDir m_dir;
    std::string m_path;
};

} // namespace

TEST(SingleInstanceNames, DisplayNamesBecomeFileNames)
{
    using kaptivus::platform::sanitisedDisplayName;
    EXPECT_EQ(sanitisedDisplayName(":0"), "0");
    EXPECT_EQ(sanitisedDisplayName(":0.0"), "0");
    EXPECT_EQ(sanitisedDisplayName(":12.1"), "12");
    EXPECT_EQ(sanitisedDisplayName("localhost:10.0"), "localhost_10");
    EXPECT_EQ(sanitisedDisplayName("/tmp/.X11-unix/X0"), "_tmp__X11-unix_X0");
    EXPECT_EQ(sanitisedDisplayName("../../etc/x:1"), "______etc_x_1");
    EXPECT_EQ(sanitisedDisplayName(""), "default");
    EXPECT_LE(sanitisedDisplayName(std::string(5000, 'a')).size(), 100u);
}

TEST(SingleInstanceNames, LockLivesInTheRuntimeFolder)
{
    QTemporaryDir runtime;
    ASSERT_TRUE(runtime.isValid());
    chmod(runtime.path().toLocal8Bit().constData(), 0700);
    const QByteArray old = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    EXPECT_EQ(kaptivus::platform::singleInstanceLockPath("Kaptivus_v5", ":3.0"),
        runtime.path().toStdString() + "/Kaptivus_v5.3.lock");
    qputenv("XDG_RUNTIME_DIR", old);
}

// On a Wayland session (XWayland's DISPLAY beside it or not) the agent and
// its command socket are named after the Wayland display, so that an X
// program's start on the same desktop finds the same agent.
TEST(SingleInstanceNames, TheSessionsDisplayNamesItsAgent)
{
    struct Case {
        const char* waylandDisplay;
        const char* sessionType;
        const char* display;
        const char* named;
    };
    const std::vector<Case> cases {
        { nullptr, nullptr, ":0", ":0" },
        { "wayland-1", nullptr, ":0", "wayland-1" },
        { nullptr, "wayland", ":1", "wayland-0" },
        { nullptr, "x11", ":1", ":1" },
        { "", nullptr, ":2", ":2" },
        { nullptr, nullptr, nullptr, "" },
    };
    QTemporaryDir runtime;
    ASSERT_TRUE(runtime.isValid());
    chmod(runtime.path().toLocal8Bit().constData(), 0700);
    const char* names[] = { "WAYLAND_DISPLAY", "XDG_SESSION_TYPE", "DISPLAY", "XDG_RUNTIME_DIR" };
    std::vector<std::optional<QByteArray>> saved;
    for (const char* name : names)
        saved.push_back(qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt);
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    for (const auto& c : cases) {
        const char* values[] = { c.waylandDisplay, c.sessionType, c.display };
        for (int i = 0; i < 3; ++i) {
            if (values[i]) qputenv(names[i], values[i]);
            else qunsetenv(names[i]);
        }
        EXPECT_EQ(kaptivus::platform::sessionDisplay(), c.named) << c.named;
        EXPECT_EQ(kaptivus::platform::commandChannelPath(), runtime.path().toStdString() + "/Kaptivus_v5."
                      + kaptivus::platform::sanitisedDisplayName(c.named) + ".sock");
    }
    for (size_t i = 0; i < saved.size(); ++i) {
        if (saved[i]) qputenv(names[i], *saved[i]);
        else qunsetenv(names[i]);
    }
}

namespace {

// Sets environment variables for one scope; nullptr unsets.
class ScopedEnv {
public:
    ScopedEnv(std::initializer_list<std::pair<const char*, const char*>> values)
    {
        for (const auto& [name, value] : values) {
            const char* old = std::getenv(name);
            m_saved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
            value ? setenv(name, value, 1) : unsetenv(name);
        }
    }
    ~ScopedEnv()
    {
        for (const auto& [name, value] : m_saved) value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str());
    }

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

std::string hostName()
{
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    std::string name;
    for (const char* c = host; *c; ++c) name += std::isalnum(static_cast<unsigned char>(*c)) || *c == '-' ? *c : '_';
    return name.empty() ? "localhost" : name;
}

mode_t modeOf(const std::string& path)
{
    struct stat st { };
    return lstat(path.c_str(), &st) == 0 ? st.st_mode : 0;
}

} // namespace

// The fault this guards: another user who creates the shared temp folder's
// name first must neither let a second agent run beside the first nor keep
// the first from being found.
TEST(SingleInstanceNames, WithoutAPrivateRuntimeFolderTheLockGoesToThePrivateCacheFolder)
{
    QTemporaryDir home, tmp, shared;
    ASSERT_TRUE(home.isValid() && tmp.isValid() && shared.isValid());
    const std::string sharedPath = shared.path().toStdString();
    chmod(sharedPath.c_str(), 0755);
    // The temp folder's name for this user, taken by someone else.
    const std::string taken = tmp.path().toStdString() + "/kaptivus-" + std::to_string(geteuid());
    ASSERT_EQ(mkdir(taken.c_str(), 0777), 0);
    chmod(taken.c_str(), 0777);
    if (geteuid() == 0) {
        ASSERT_EQ(chown(taken.c_str(), 65534, 65534), 0);
    }
    const std::string homePath = home.path().toStdString();
    const std::string cache = homePath + "/cache";
    struct Case {
        const char* runtime;
        const char* cacheHome;
        std::string folder;
    };
    const Case cases[] = {
        { nullptr, cache.c_str(), cache + "/kaptivus2000" },
        { "", nullptr, homePath + "/.cache/kaptivus2000" },
        { "relative/path", "relative/cache", homePath + "/.cache/kaptivus2000" },
        { "/nonexistent/runtime", cache.c_str(), cache + "/kaptivus2000" },
        { sharedPath.c_str(), cache.c_str(), cache + "/kaptivus2000" },
        { taken.c_str(), cache.c_str(), cache + "/kaptivus2000" },
    };
    for (const Case& c : cases) {
        const ScopedEnv env { { "XDG_RUNTIME_DIR", c.runtime }, { "XDG_CACHE_HOME", c.cacheHome },
            { "HOME", homePath.c_str() }, { "TMPDIR", tmp.path().toLocal8Bit().constData() } };
        const auto where = kaptivus::platform::locateSingleInstanceLock("Kaptivus_v5", ":0.0");
        EXPECT_EQ(where.path, c.folder + "/Kaptivus_v5.0." + hostName() + ".lock") << where.error;
        EXPECT_EQ(modeOf(c.folder) & 07777, 0700u) << c.folder;
        SingleInstanceLock lock;
        EXPECT_EQ(lock.tryAcquire(where.path), Result::First) << lock.errorText();
    }
}

TEST(SingleInstanceNames, ACacheFolderNotCertainlyOursIsRefusedWithAReason)
{
    QTemporaryDir cache, elsewhere;
    ASSERT_TRUE(cache.isValid() && elsewhere.isValid());
    const std::string folder = cache.path().toStdString() + "/kaptivus2000";
    struct Case {
        const char* name;
        std::function<bool()> make;
        const char* reason;
    };
    const Case cases[] = {
        { "another user's", [&] { return mkdir(folder.c_str(), 0700) == 0 && chown(folder.c_str(), 65534, 65534) == 0; },
            "belongs to another user" },
        { "open to all", [&] { return mkdir(folder.c_str(), 0700) == 0 && chmod(folder.c_str(), 0777) == 0; },
            "open to other users" },
        { "a link to a private folder",
            [&] { return symlink(elsewhere.path().toLocal8Bit().constData(), folder.c_str()) == 0; }, "not a folder" },
        { "a file", [&] { return close(open(folder.c_str(), O_CREAT | O_WRONLY, 0600)) == 0; }, "not a folder" },
    };
    chmod(elsewhere.path().toLocal8Bit().constData(), 0700);
    for (const Case& c : cases) {
        if (std::string(c.name) == "another user's" && geteuid() != 0) continue; // only root can give a folder away
        ASSERT_TRUE(c.make()) << c.name;
        {
            const ScopedEnv env { { "XDG_RUNTIME_DIR", nullptr }, { "XDG_CACHE_HOME", cache.path().toLocal8Bit().constData() } };
            const auto where = kaptivus::platform::locateSingleInstanceLock("Kaptivus_v5", ":0");
            EXPECT_EQ(where.path, "") << c.name;
            EXPECT_NE(where.error.find(folder + " "), std::string::npos) << where.error;
            EXPECT_NE(where.error.find(c.reason), std::string::npos) << c.name << ": " << where.error;
            const auto check = kaptivus::platform::acquireSingleInstance("Kaptivus_v5_refused_test");
            EXPECT_EQ(check.result, Result::Unavailable) << c.name;
            EXPECT_EQ(check.error, where.error);
        }
        (void)!std::system(("rm -rf '" + folder + "'").c_str());
    }
}

TEST_F(SingleInstance, SecondProcessIsRefusedWhileTheFirstHoldsTheLock)
{
    SingleInstanceLock first;
    ASSERT_EQ(first.tryAcquire(m_path), Result::First);
    Child second = startContender(m_path);
    EXPECT_EQ(resultOf(second), 'A');
    finish(second);
}

TEST_F(SingleInstance, LockIsFreeAgainAfterTheHolderIsKilled)
{
    Child holder = startContender(m_path);
    ASSERT_EQ(resultOf(holder), 'F');
    SingleInstanceLock mine;
    EXPECT_EQ(mine.tryAcquire(m_path), Result::AlreadyRunning);
    finish(holder);
    EXPECT_EQ(mine.tryAcquire(m_path), Result::First);
}

TEST_F(SingleInstance, ProgramStartedByTheHolderDoesNotInheritTheLock)
{
    int up[2];
    ASSERT_EQ(pipe(up), 0);
    const pid_t holder = fork();
    if (holder == 0) {
        SingleInstanceLock lock;
        if (lock.tryAcquire(m_path) != Result::First) _exit(1);
        // Like an editor the agent starts: it outlives the agent. Between fork
        // and exec it still has every descriptor; the close-on-exec pipe reaches
        // end of file once the exec has happened.
        int started[2];
        if (pipe2(started, O_CLOEXEC) != 0) _exit(1);
        const pid_t editor = fork();
        if (editor == 0) {
            execl("/bin/sleep", "sleep", "60", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(started[1]);
        char c;
        readByte(started[0], c);
        (void)!write(up[1], &editor, sizeof editor);
        pause();
        _exit(0);
    }
    close(up[1]);
    pid_t editor = -1;
    ASSERT_EQ(read(up[0], &editor, sizeof editor), static_cast<ssize_t>(sizeof editor));
    close(up[0]);
    kill(holder, SIGKILL);
    waitpid(holder, nullptr, 0);
    SingleInstanceLock mine;
    EXPECT_EQ(mine.tryAcquire(m_path), Result::First);
    kill(editor, SIGKILL);
}

TEST_F(SingleInstance, TwentyConcurrentStartsLeaveExactlyOneHolder)
{
    int go[2];
    ASSERT_EQ(pipe(go), 0);
    std::vector<Child> children;
    for (int i = 0; i < 20; ++i)
        children.push_back(startContender(m_path, go[0], go[1]));
    // Closing the write end wakes every child at once.
    close(go[1]);
    close(go[0]);
    std::string results;
    for (const Child& c : children)
        results += resultOf(c);
    for (Child& c : children)
        finish(c);
    EXPECT_EQ(std::count(results.begin(), results.end(), 'F'), 1) << results;
    EXPECT_EQ(std::count(results.begin(), results.end(), 'A'), 19) << results;
}

TEST_F(SingleInstance, UnusableLockFileIsReportedAsUnavailable)
{
    const std::string folder = m_dir.filePath(QStringLiteral("a-folder")).toStdString();
    const std::string fifo = m_dir.filePath(QStringLiteral("a-fifo")).toStdString();
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : { std::string(), std::string("/nonexistent-folder/x.lock"), folder, fifo }) {
        SingleInstanceLock lock;
        EXPECT_EQ(lock.tryAcquire(path), Result::Unavailable) << path;
        EXPECT_FALSE(lock.isHeld());
        EXPECT_NE(lock.errorText(), "") << path;
    }
}

TEST(SingleInstanceAgent, OnlyTheFirstAgentOnADisplayRuns)
{
    const char* display = std::getenv("DISPLAY");
    const std::string path
        = kaptivus::platform::singleInstanceLockPath("Kaptivus_v5_agent_test", display ? display : "");
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(kaptivus::platform::acquireSingleInstance("Kaptivus_v5_agent_test").result, Result::First);
    Child second = startContender(path);
    EXPECT_EQ(resultOf(second), 'A');
    finish(second);
}
