// The agent's command socket: request lines parsed defensively, answers the
// gate decides, a second start told when no agent listens, hostile clients
// dropped, and nothing but an old socket ever removed from its place.
#include "XTest.h"
#include "platform/CommandChannel.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <functional>

#include <future>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace kaptivus::platform;
namespace xt = kaptivus::test;
using namespace std::chrono_literals;

TEST(CommandChannel, OnlyWellFormedCaptureLinesNameAnAction)
{
    struct Case {
        std::string line;
        int action;
        bool waits;
    };
    const Case cases[] = {
        { "capture 101\n", 101, false }, { "capture 112", 112, false }, { "capture 107\n", 107, false },
        { "capture 100\n", 0, false },   { "capture 113\n", 0, false }, { "capture -103\n", 0, false },
        { "capture 103 \n", 0, false },  { "capture  103\n", 0, false }, { "Capture 103\n", 0, false },
        { "capture 0x67\n", 0, false },  { "capture 99999999999999999999\n", 0, false }, { "", 0, false },
        { "capture \n", 0, false },      { std::string("capture 103\0\n", 13), 0, false },
        { "capture 103 wait\n", 103, true }, { "capture 112 wait", 112, true },
        { "capture 103  wait\n", 0, false }, { "capture 103 wait \n", 0, false }, { "capture wait\n", 0, false },
        { "capture 113 wait\n", 0, false }, { "capture 103 waits\n", 0, false }, { "capture 103wait\n", 0, false },
    };
    for (const Case& c : cases) {
        const CaptureRequest request = parseCaptureRequest(c.line);
        EXPECT_EQ(request.action, c.action) << c.line;
        EXPECT_EQ(request.waits, c.waits) << c.line;
    }
}

namespace {

// A raw client: connects, sends, and collects what comes back until the agent closes.
std::string rawExchange(const std::string& path, const std::string& request, bool closeWriting)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return "no connection";
    }
    (void)!::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    if (closeWriting) ::shutdown(fd, SHUT_WR);
    std::string reply;
    char chunk[64];
    for (ssize_t n; (n = ::recv(fd, chunk, sizeof chunk, 0)) > 0;) reply.append(chunk, static_cast<size_t>(n));
    ::close(fd);
    return reply;
}

template <typename T> T await(std::future<T>& f)
{
    EXPECT_TRUE(xt::waitUntil([&] { return f.wait_for(0ms) == std::future_status::ready; }, 10s));
    return f.get();
}

} // namespace

TEST(CommandChannel, TheListenerAnswersWhatTheGateDecides)
{
    QTemporaryDir folder;
    const std::string path = QDir(folder.path()).filePath("Kaptivus_v5.test.sock").toStdString();
    EXPECT_EQ(sendCapture(path, 103).result, SendResult::NoAgent);
    CommandListener listener;
    ASSERT_TRUE(listener.listen(path));
    bool gateOpen = true;
    std::vector<int> asked;
    listener.onCapture = [&](int action, const OutcomeReply& finished) {
        asked.push_back(action);
        // An action that ends before the gate's answer is sent still answers in order.
        if (gateOpen) finished(Outcome::Done, {});
        return gateOpen;
    };
    auto taken = std::async(std::launch::async, [&] { return sendCapture(path, 103); });
    EXPECT_EQ(await(taken).result, SendResult::Done);
    gateOpen = false;
    auto refused = std::async(std::launch::async, [&] { return sendCapture(path, 109); });
    EXPECT_EQ(await(refused).result, SendResult::Refused);
    EXPECT_EQ(asked, (std::vector<int> { 103, 109 }));

    struct Case {
        const char* name;
        std::string request;
        bool closeWriting;
        std::string reply;
    };
    gateOpen = true;
    const Case hostile[] = {
        { "an action out of range", "capture 150\n", false, "bad\n" },
        { "an older client, told only the gate's answer", "capture 110\n", false, "ok\n" },
        { "a line without its newline, then the end", "capture 104", true, "ok\n" },
        { "64 bytes and no newline", std::string(64, 'x'), false, "bad\n" },
        { "nothing at all, then the end", "", true, "bad\n" },
        { "nothing, and the socket left open", "", false, "" },
    };
    for (const Case& c : hostile) {
        auto reply = std::async(std::launch::async, [&] { return rawExchange(path, c.request, c.closeWriting); });
        EXPECT_EQ(await(reply), c.reply) << c.name;
    }
    EXPECT_EQ(asked, (std::vector<int> { 103, 109, 110, 104 }));
}

// A client let in that went away before its action ended: it was neither
// counted for ever (the listener would stop accepting after a few) nor told
// anything when the action ended later.
TEST(CommandChannel, WaitingClientsThatLeaveEarlyDisturbNothing)
{
    QTemporaryDir folder;
    const std::string path = QDir(folder.path()).filePath("Kaptivus_v5.test.sock").toStdString();
    CommandListener listener;
    ASSERT_TRUE(listener.listen(path));
    std::vector<OutcomeReply> untold;
    listener.onCapture = [&](int, const OutcomeReply& finished) {
        untold.push_back(finished);
        return true;
    };
    const auto askAndLeave = [&] {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const timeval limit { 10, 0 };
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
        std::string reply;
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
            (void)!::send(fd, "capture 103 wait\n", 17, MSG_NOSIGNAL);
            char chunk[16];
            const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
            if (n > 0) reply.assign(chunk, static_cast<size_t>(n));
        }
        ::close(fd);
        return reply;
    };
    for (int i = 0; i < 24; ++i) {
        auto reply = std::async(std::launch::async, askAndLeave);
        ASSERT_EQ(await(reply), "ok\n") << i;
    }
    for (const OutcomeReply& finished : untold) finished(Outcome::Failed, "too late");
    listener.onCapture = [](int, const OutcomeReply& finished) {
        finished(Outcome::Cancelled, {});
        return true;
    };
    auto next = std::async(std::launch::async, [&] { return sendCapture(path, 109); });
    EXPECT_EQ(await(next).result, SendResult::Cancelled);
}

TEST(CommandChannel, ASocketADeadAgentLeftIsReplaced)
{
    QTemporaryDir folder;
    const std::string path = QDir(folder.path()).filePath("stale.sock").toStdString();
    {
        CommandListener first;
        ASSERT_TRUE(first.listen(path));
    }
    // A killed agent leaves its socket file: nobody answers there.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
    EXPECT_EQ(sendCapture(path, 101).result, SendResult::NoAgent);
    CommandListener next;
    ASSERT_TRUE(next.listen(path));
    next.onCapture = [](int, const OutcomeReply& finished) {
        finished(Outcome::Done, {});
        return true;
    };
    auto taken = std::async(std::launch::async, [&] { return sendCapture(path, 101); });
    EXPECT_EQ(await(taken).result, SendResult::Done);
    // A name too long for a socket address is refused, not cut short.
    EXPECT_FALSE(CommandListener().listen("/" + std::string(200, 'x')));
}

TEST(CommandChannel, ASocketInAFolderWithALongPathIsStillReached)
{
    QTemporaryDir folder;
    std::string deep = folder.path().toStdString();
    while (deep.size() < 150) deep += "/a-long-folder-name";
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(deep)));
    const std::string path = deep + "/Kaptivus_v5.0.sock";
    ASSERT_GT(path.size(), sizeof(sockaddr_un::sun_path));
    {
        CommandListener listener;
        ASSERT_TRUE(listener.listen(path)) << listener.errorText();
        listener.onCapture = [](int, const OutcomeReply& finished) {
            finished(Outcome::Done, {});
            return true;
        };
        auto taken = std::async(std::launch::async, [&] { return sendCapture(path, 105); });
        EXPECT_EQ(await(taken).result, SendResult::Done);
    }
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(path)));
}

TEST(CommandChannel, WhatIsNotASocketAtThePathIsLeftAloneAndNamed)
{
    QTemporaryDir folder;
    const std::string path = QDir(folder.path()).filePath("Kaptivus_v5.test.sock").toStdString();
    const QString qpath = QString::fromStdString(path);
    const QString target = QDir(folder.path()).filePath("target");
    struct Case {
        const char* name;
        std::function<void()> make;
        const char* kind;
    };
    const Case cases[] = {
        { "a file", [&] { QFile f(qpath); f.open(QIODevice::WriteOnly); f.write("the user's data"); }, "a file" },
        { "a folder", [&] { QDir().mkpath(qpath + "/inside"); }, "a folder" },
        { "a link", [&] { QFile::link(target, qpath); }, "a link" },
    };
    for (const Case& c : cases) {
        QFile(target).open(QIODevice::WriteOnly);
        c.make();
        CommandListener listener;
        EXPECT_FALSE(listener.listen(path)) << c.name;
        EXPECT_NE(listener.errorText().find(path + " is " + c.kind), std::string::npos) << listener.errorText();
        EXPECT_EQ(sendCapture(path, 103).result, SendResult::Blocked) << c.name;
        const QFileInfo left(qpath);
        EXPECT_TRUE(left.exists() || left.isSymLink()) << c.name << " was deleted";
        if (std::string(c.name) == "a file") {
            QFile f(qpath);
            ASSERT_TRUE(f.open(QIODevice::ReadOnly));
            EXPECT_EQ(f.readAll(), "the user's data");
        }
        if (std::string(c.name) == "a folder") {
            EXPECT_TRUE(QFileInfo::exists(qpath + "/inside"));
        }
        QFile::remove(target);
        QDir(qpath).removeRecursively();
        QFile::remove(qpath);
    }
}
