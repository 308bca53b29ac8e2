// `kaptivus2000 --capture N` ends when the action has: its exit status and
// standard error say what the agent said of it, whatever that was, and a
// real agent's cancelled selector and failed save are told apart from success.
#include "AgentProcess.h"
#include "SettingsTable.h"
#include "XTest.h"
#include "platform/CommandChannel.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTimer>

#include <cstring>
#include <functional>
#include <memory>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

using namespace kaptivus;
using namespace kaptivus::e2e;
using platform::Outcome;
using platform::OutcomeReply;

namespace {

// The program's run, its end awaited on the event loop so that a listener
// in this process keeps answering meanwhile.
ProgramRun runServed(const QStringList& arguments, const std::function<void()>& meanwhile = {})
{
    QProcess p;
    p.start(QStringLiteral(KAPTIVUS_BINARY), arguments);
    if (!p.waitForStarted()) return {};
    if (meanwhile) meanwhile();
    return runOutcome(p, test::waitUntil([&] { return p.state() == QProcess::NotRunning; }, 20s));
}

// An agent of an earlier build: it knows only "capture N", answers it "ok"
// and closes; anything else is "bad". Serves two connections at most.
class OlderAgent {
public:
    explicit OlderAgent(const std::string& path)
    {
        m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
        if (::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(m_fd, 4) != 0) return;
        m_serving = std::thread([this] {
            for (int served = 0; served < 2; ++served) {
                pollfd p { m_fd, POLLIN, 0 };
                if (::poll(&p, 1, 10000) <= 0) return;
                const int client = ::accept(m_fd, nullptr, nullptr);
                char line[64] = {};
                const ssize_t n = ::recv(client, line, sizeof line - 1, 0);
                const auto request = platform::parseCaptureRequest(std::string_view(line, n > 0 ? size_t(n) : 0));
                const char* reply = request.action != 0 && !request.waits ? "ok\n" : "bad\n";
                (void)!::send(client, reply, std::strlen(reply), MSG_NOSIGNAL);
                ::close(client);
            }
        });
    }
    ~OlderAgent()
    {
        if (m_serving.joinable()) m_serving.join();
        ::close(m_fd);
    }

private:
    int m_fd = -1;
    std::thread m_serving;
};

} // namespace

TEST(CommandLine, CaptureExitsWithWhatTheAgentSaysOfTheAction)
{
    const std::string path = platform::commandChannelPath();
    ASSERT_FALSE(path.empty());
    const std::string longReason = "line one\nline two\x1b[31m" + std::string(10000, 'x');
    const std::string shownReason = "line one line two [31m";
    struct Case {
        const char* name;
        bool letIn;
        // What the agent does with an action it let in; the listener may be ended.
        std::function<void(const OutcomeReply&, std::unique_ptr<platform::CommandListener>&)> act;
        int exitCode;
        std::string err;
    };
    const Case cases[] = {
        { "done", true, [](auto& finished, auto&) { finished(Outcome::Done, {}); }, 0, "" },
        { "cancelled", true, [](auto& finished, auto&) { finished(Outcome::Cancelled, {}); }, 5, "" },
        { "failed", true, [](auto& finished, auto&) { finished(Outcome::Failed, "no screencopy here"); }, 4,
          "kaptivus2000: the capture failed: no screencopy here\n" },
        { "failed, with a reason of several lines and far too long", true,
          [&](auto& finished, auto&) { finished(Outcome::Failed, longReason); }, 4,
          // One line, its control characters blanked, cut to the agent's bound.
          "kaptivus2000: the capture failed: " + shownReason + std::string(400 - shownReason.size(), 'x') + "\n" },
        // Longer than the wait allowed for a request line: a selector may be up.
        { "done after a while", true,
          [](auto& finished, auto&) {
              QTimer::singleShot(3000, [finished] { finished(Outcome::Done, {}); });
          },
          0, "" },
        { "the agent ends before the action does", true,
          [](auto&, auto& listener) { QTimer::singleShot(0, [&listener] { listener.reset(); }); }, 1,
          "kaptivus2000: the running agent did not finish the action\n" },
        { "refused", false, [](auto&, auto&) {}, 3,
          "kaptivus2000: the agent is busy with a capture or suspended; action 103 not taken\n" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto listener = std::make_unique<platform::CommandListener>();
        ASSERT_TRUE(listener->listen(path)) << listener->errorText();
        listener->onCapture = [&](int action, const OutcomeReply& finished) {
            EXPECT_EQ(action, 103);
            if (c.letIn) c.act(finished, listener);
            return c.letIn;
        };
        const ProgramRun run = runServed({ "--capture", "103" });
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_EQ(run.err, c.err);
        EXPECT_EQ(run.out, "");
        listener.reset();
    }
    // An agent of an earlier build says only that it took the action: taken at its word.
    const OlderAgent older(path);
    const ProgramRun run = runServed({ "--capture", "103" });
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
}

// A real agent's cancelled area selector (Escape) and failed numbered save
// (a folder that does not exist) ended the command line with status 0.
TEST(CommandLine, CaptureExitedZeroForACancelledSelectorAndAFailedSave)
{
    const QString missing = QDir::cleanPath(QString::fromLocal8Bit(qgetenv("TMPDIR"))) + "/missing";
    struct Case {
        const char* name;
        const char* action;
        std::vector<std::pair<std::string, std::string>> settings;
        std::function<void()> meanwhile;
        int exitCode;
        std::string err;
    };
    const Case cases[] = {
        { "area selector closed with Escape", "109", {},
          [] {
              ASSERT_TRUE(test::waitUntil([] { return test::pointerGrabbedElsewhere(); }, 10s));
              ASSERT_TRUE(test::pressKey(test::keysym::Escape));
          },
          5, "" },
        { "numbered save into a missing folder", "102", { { "AutoFolder", "\"" + missing.toStdString() + "\"" } },
          {}, 4, "kaptivus2000: the capture failed: the picture could not be saved as " + missing.toStdString() },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto settings = c.settings;
        settings.push_back({ "Sound", "dword:00000000" });
        writeSettingsFile(defaultSettingsBody(settings));
        AgentProcess agent;
        ASSERT_TRUE(agent.start());
        const ProgramRun run = runServed({ "--capture", c.action }, c.meanwhile);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        EXPECT_EQ(run.err.substr(0, c.err.size()), c.err);
        EXPECT_FALSE(agent.pictureWindowShown());
        agent.terminate();
        ASSERT_TRUE(agent.waitForExit());
    }
}
