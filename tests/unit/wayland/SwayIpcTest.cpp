// The sway IPC exchange against a real Unix socket whose server misbehaves.
#include "platform/wayland/SwayIpc.h"

#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace kaptivus::platform::wayland {
namespace {

// How the server answers one request.
enum class Answer { Properly, Never, Oversized, WrongMagic, CutShort };

std::string header(uint32_t length, uint32_t type, const char* magic = "i3-ipc")
{
    std::string h(magic, 6);
    h.append(reinterpret_cast<const char*>(&length), 4);
    h.append(reinterpret_cast<const char*>(&type), 4);
    return h;
}

// Serves one connection on a socket in TMPDIR, then waits for the client to hang up.
class Server {
public:
    explicit Server(Answer answer)
    {
        const char* tmp = getenv("TMPDIR");
        m_path = std::string(tmp ? tmp : "/tmp") + "/ipc-" + std::to_string(getpid()) + ".sock";
        unlink(m_path.c_str());
        m_listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, m_path.c_str(), sizeof(address.sun_path) - 1);
        EXPECT_EQ(bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
        EXPECT_EQ(listen(m_listener, 1), 0);
        m_thread = std::thread([this, answer] { serve(answer); });
    }
    ~Server()
    {
        m_thread.join();
        close(m_listener);
        unlink(m_path.c_str());
    }
    const std::string& path() const { return m_path; }

private:
    void serve(Answer answer)
    {
        const int fd = accept(m_listener, nullptr, nullptr);
        char request[14];
        if (fd < 0 || recv(fd, request, sizeof request, MSG_WAITALL) != 14) {
            close(fd);
            return;
        }
        std::string reply;
        switch (answer) {
        case Answer::Properly:
            reply = header(2, 4) + "{}";
            break;
        case Answer::Never:
            break;
        case Answer::Oversized:
            reply = header(0xFFFFFFFFu, 4);
            break;
        case Answer::WrongMagic:
            reply = header(2, 4, "i4-ipc") + "{}";
            break;
        case Answer::CutShort:
            reply = header(100, 4) + "{\"nodes\":";
            break;
        }
        if (!reply.empty()) {
            EXPECT_EQ(send(fd, reply.data(), reply.size(), MSG_NOSIGNAL), ssize_t(reply.size()));
        }
        if (answer != Answer::CutShort) {
            char drain;
            recv(fd, &drain, 1, 0); // until the client hangs up
        }
        close(fd);
    }

    std::string m_path;
    int m_listener = -1;
    std::thread m_thread;
};

TEST(SwayIpcLimits, SlowShortOrOversizedRepliesAreErrors)
{
    struct Case {
        const char* name;
        Answer answer;
        const char* error; // empty: a reply
    };
    const std::vector<Case> cases {
        { "answers", Answer::Properly, "" },
        { "never answers", Answer::Never, "in time" },
        { "oversized", Answer::Oversized, "too large" },
        { "wrong magic", Answer::WrongMagic, "did not answer" },
        { "cut short", Answer::CutShort, "cut short" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Server server(c.answer);
        const SwayReply reply = swayRequest(4, {}, server.path(), std::chrono::milliseconds(300));
        EXPECT_NE(reply.error.find(c.error), std::string::npos) << reply.error;
        EXPECT_EQ(reply.payload, *c.error ? "" : "{}");
    }
    const SwayReply nowhere = swayRequest(4, {}, "/nonexistent/sway.sock");
    EXPECT_NE(nowhere.error.find("Cannot connect"), std::string::npos) << nowhere.error;
}

} // namespace
} // namespace kaptivus::platform::wayland
