// The agent's lock and command socket from outside: where no private runtime
// folder exists, with the shared temp folder's name taken by someone else, and
// with the agent's descriptor table full of silent connections.
#include "AgentProcess.h"

#include <gtest/gtest.h>

#include <QProcessEnvironment>

#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <sstream>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace kaptivus;
using namespace kaptivus::e2e;

namespace {

std::filesystem::path session() { return std::filesystem::path(std::getenv("XDG_RUNTIME_DIR")).parent_path(); }

// A session whose runtime folder others may read: the lock cannot go there.
QProcessEnvironment sharedRuntimeSession()
{
    const auto runtime = session() / "runtime";
    ::chmod(runtime.c_str(), 0755);
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CACHE_HOME"), QString::fromStdString((session() / "cache").string()));
    return env;
}

// The agent's socket in the session's private runtime folder.
std::filesystem::path agentSocket()
{
    for (const auto& entry : std::filesystem::directory_iterator(std::getenv("XDG_RUNTIME_DIR")))
        if (entry.path().extension() == ".sock") return entry.path();
    return {};
}

// User plus system CPU time the process has used.
std::chrono::milliseconds cpuTime(qint64 pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // Fields after the command name, which ends at the last ')': utime and stime are the 12th and 13th.
    std::istringstream rest(stat.substr(stat.rfind(')') + 2));
    std::string field;
    long long ticks = 0;
    for (int i = 1; i <= 13 && rest >> field; ++i)
        if (i >= 12) ticks += std::stoll(field);
    return std::chrono::milliseconds(ticks * 1000 / sysconf(_SC_CLK_TCK));
}

size_t openDescriptors(qint64 pid)
{
    std::error_code error;
    const std::filesystem::directory_iterator fds("/proc/" + std::to_string(pid) + "/fd", error);
    return error ? 0 : static_cast<size_t>(std::distance(fds, std::filesystem::directory_iterator()));
}

int connectWithoutWaiting(const std::filesystem::path& socketPath)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socketPath.c_str());
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return fd;
    ::close(fd);
    return -1;
}

} // namespace

// The fault this guards: with no private runtime folder, the lock went to
// $TMPDIR/kaptivus-<uid>; when another user had made that folder first, a
// second agent ran beside the first and --capture found none.
TEST(Lock, TempFolderTakenByAnotherUserLetsNoSecondAgentRunNorHidesTheFirst)
{
    struct Case {
        const char* name;
        mode_t mode;
        bool otherOwner;
    };
    const Case cases[] = {
        { "owned by another user", 0755, true },
        { "open to everyone", 0777, false },
    };
    for (const Case& c : cases) {
        if (c.otherOwner && geteuid() != 0) continue; // only root can give a folder away
        auto env = sharedRuntimeSession();
        const auto taken = std::filesystem::path(std::getenv("TMPDIR")) / ("kaptivus-" + std::to_string(geteuid()));
        std::filesystem::remove_all(taken);
        ASSERT_EQ(::mkdir(taken.c_str(), 0700), 0);
        ::chmod(taken.c_str(), c.mode);
        if (c.otherOwner) {
            ASSERT_EQ(::chown(taken.c_str(), 65534, 65534), 0);
        }

        AgentProcess first;
        first.process().setProcessEnvironment(env);
        ASSERT_TRUE(first.start()) << c.name << ": " << first.output().toStdString();
        AgentProcess second;
        second.process().setProcessEnvironment(env);
        second.launch();
        ASSERT_TRUE(second.waitForExit(10s)) << c.name;
        EXPECT_EQ(second.exitCode(), 0) << c.name;
        const ProgramRun taken103 = runKaptivus({ "--capture", "103" }, env);
        EXPECT_EQ(taken103.exitCode, 0) << c.name << ": " << taken103.err;
        EXPECT_TRUE(first.isRunning());
        // Nothing of ours went into the folder someone else holds.
        EXPECT_TRUE(std::filesystem::is_empty(taken)) << c.name;
        first.terminate();
        ASSERT_TRUE(first.waitForExit());
    }
}

TEST(Lock, WithoutAnyPrivateFolderTheAgentRefusesToStartAndSaysWhy)
{
    auto env = sharedRuntimeSession();
    const auto folder = session() / "cache" / "kaptivus2000";
    std::filesystem::create_directories(folder);
    ::chmod(folder.c_str(), 0777);
    AgentProcess agent;
    agent.process().setProcessEnvironment(env);
    agent.launch();
    test::Window box = 0;
    ASSERT_TRUE(test::waitUntil([&] { return (box = agent.findWindow("Erreur")) != 0; }, 15s))
        << agent.output().toStdString();
    EXPECT_TRUE(agent.registeredHotkeys().empty());
    ASSERT_TRUE(test::waitUntil([&] { return test::activeWindow() == box; }, 5s));
    test::pressKey(test::keysym::Return);
    ASSERT_TRUE(agent.waitForExit(10s));
    EXPECT_EQ(agent.exitCode(), 1);
    const std::string output = agent.output().toStdString();
    EXPECT_NE(output.find("runs only once"), std::string::npos) << output;
    EXPECT_NE(output.find(folder.string() + " is open to other users"), std::string::npos) << output;
}

// The fault this guards: with its descriptor table full, the agent's socket
// stayed readable and accept failed at once, again and again, at full CPU.
TEST(CommandSocket, FullDescriptorTableDoesNotSpinTheAgent)
{
    writeSettingsFile(defaultSettingsBody({ { "Sound", "dword:00000000" } }));
    AgentProcess agent;
    ASSERT_TRUE(agent.start());
    // The agent listens a moment after its hotkeys are in place.
    std::filesystem::path socketPath;
    ASSERT_TRUE(test::waitUntil([&] {
        socketPath = agentSocket();
        const int probe = socketPath.empty() ? -1 : connectWithoutWaiting(socketPath);
        if (probe >= 0) ::close(probe);
        return probe >= 0;
    }, 10s));
    // The icon in the tray is the last of the start-up: on a busy machine it can
    // come after the socket, and a start-up step that finds the table full is
    // not what this test is about.
    ASSERT_TRUE(test::waitUntil([&] { return agent.trayIconWindow() != 0; }, 10s)) << agent.output().toStdString();
    const size_t inUse = openDescriptors(agent.pid());
    ASSERT_GT(inUse, 0u);
    rlimit limit {};
    ASSERT_EQ(::prlimit(static_cast<pid_t>(agent.pid()), RLIMIT_NOFILE, nullptr, &limit), 0);
    const rlimit old = limit;
    limit.rlim_cur = inUse + 2;
    ASSERT_EQ(::prlimit(static_cast<pid_t>(agent.pid()), RLIMIT_NOFILE, &limit, nullptr), 0);
    // Silent clients: two take the last descriptors, the rest wait in the queue.
    std::vector<int> clients;
    for (int i = 0; i < 24; ++i)
        if (const int fd = connectWithoutWaiting(socketPath); fd >= 0) clients.push_back(fd);
    ASSERT_GE(clients.size(), 8u);
    ASSERT_TRUE(test::waitUntil([&] { return openDescriptors(agent.pid()) >= limit.rlim_cur; }, 10s));
    // A spinning agent burns most of a core; a waiting one hardly any.
    const auto before = cpuTime(agent.pid());
    EXPECT_FALSE(test::waitUntil([&] { return cpuTime(agent.pid()) - before > 300ms; }, 3s))
        << "CPU used while the table was full: " << (cpuTime(agent.pid()) - before).count() << " ms";
    EXPECT_TRUE(agent.isRunning());
    for (int fd : clients) ::close(fd);
    ASSERT_EQ(::prlimit(static_cast<pid_t>(agent.pid()), RLIMIT_NOFILE, &old, nullptr), 0);
    // Once descriptors are free again the agent takes commands as before.
    const ProgramRun taken = runKaptivus({ "--capture", "103" }, QProcessEnvironment::systemEnvironment());
    EXPECT_EQ(taken.exitCode, 0) << taken.err;
    agent.terminate();
    ASSERT_TRUE(agent.waitForExit()) << agent.output().toStdString();
}
