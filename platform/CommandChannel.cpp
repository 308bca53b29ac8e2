// A Unix stream socket beside the single-instance lock, in a folder only the
// user can reach. Each request is one short line; a client that says nothing
// within two seconds is dropped, only processes of the same user are heard,
// and a full descriptor table pauses accepting instead of spinning on it.
#include "platform/CommandChannel.h"

#include "platform/SingleInstance.h"

#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace kaptivus::platform {

namespace {

constexpr size_t MaxRequest = 64;
constexpr int ClientDeadlineMs = 2000;

// A socket address for a path. A path too long for sun_path is reached as
// /proc/self/fd/<folder>/<name>, with the folder held open meanwhile: a long
// home folder must not cost the agent its socket.
class SocketAddress {
public:
    explicit SocketAddress(const std::string& path)
    {
        m_address.sun_family = AF_UNIX;
        std::string target = path;
        if (path.size() >= sizeof m_address.sun_path) {
            const auto slash = path.rfind('/');
            if (slash == std::string::npos || slash + 1 == path.size()) return;
            m_folder = ::open(slash == 0 ? "/" : path.substr(0, slash).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
            if (m_folder < 0) return;
            target = "/proc/self/fd/" + std::to_string(m_folder) + path.substr(slash);
        }
        if (path.empty() || target.size() >= sizeof m_address.sun_path) return;
        std::memcpy(m_address.sun_path, target.c_str(), target.size() + 1);
        m_valid = true;
    }
    ~SocketAddress()
    {
        if (m_folder >= 0) ::close(m_folder);
    }
    SocketAddress(const SocketAddress&) = delete;
    SocketAddress& operator=(const SocketAddress&) = delete;
    bool isValid() const { return m_valid; }
    const sockaddr* get() const { return reinterpret_cast<const sockaddr*>(&m_address); }
    socklen_t size() const { return sizeof m_address; }

private:
    sockaddr_un m_address {};
    int m_folder = -1;
    bool m_valid = false;
};

constexpr int MaxClients = 16;
constexpr int FirstPauseMs = 50;
constexpr int LongestPauseMs = 1000;

bool sameUser(int fd)
{
    ucred peer {};
    socklen_t size = sizeof peer;
    return getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == geteuid();
}

// One connection: reads up to a newline or MaxRequest bytes, answers, closes.
class Client : public QObject {
public:
    Client(int fd, const std::function<bool(int)>& decide, QObject* parent)
        : QObject(parent)
        , m_fd(fd)
        , m_decide(decide)
        , m_notifier(fd, QSocketNotifier::Read)
    {
        connect(&m_notifier, &QSocketNotifier::activated, this, &Client::read);
        QTimer::singleShot(ClientDeadlineMs, this, &Client::finish);
    }
    ~Client() override { ::close(m_fd); }

private:
    void read()
    {
        char chunk[MaxRequest];
        const ssize_t n = ::recv(m_fd, chunk, MaxRequest - m_line.size(), MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
        if (n > 0) m_line.append(chunk, static_cast<size_t>(n));
        if (n > 0 && m_line.find('\n') == std::string::npos && m_line.size() < MaxRequest) return;
        answer();
    }
    void answer()
    {
        const int action = parseCaptureRequest(m_line);
        const char* reply = action == 0 ? "bad\n" : (m_decide && m_decide(action)) ? "ok\n" : "busy\n";
        (void)!::send(m_fd, reply, std::strlen(reply), MSG_NOSIGNAL | MSG_DONTWAIT);
        finish();
    }
    void finish()
    {
        m_notifier.setEnabled(false);
        deleteLater();
    }

    int m_fd;
    std::function<bool(int)> m_decide;
    QSocketNotifier m_notifier;
    std::string m_line;
};

// The agent's one-line answer.
SendResult readAnswer(int fd, int timeoutMs)
{
    std::string reply;
    char chunk[16];
    pollfd p { fd, POLLIN, 0 };
    while (reply.find('\n') == std::string::npos && reply.size() < MaxRequest) {
        if (::poll(&p, 1, timeoutMs) <= 0) return SendResult::Failed;
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0) break;
        reply.append(chunk, static_cast<size_t>(n));
    }
    if (reply == "ok\n") return SendResult::Accepted;
    if (reply == "busy\n") return SendResult::Refused;
    return SendResult::Failed;
}

} // namespace

struct CommandListener::Impl {
    int fd = -1;
    std::string path;
    std::string error;
    std::unique_ptr<QSocketNotifier> notifier;
    QTimer retry; // accepting again after the descriptor table was full
    int pauseMs = 0;
    int clients = 0;
};

std::string commandChannelPath(std::string_view name)
{
    std::string path = singleInstanceLockPath(name, sessionDisplay());
    constexpr std::string_view lockSuffix = ".lock";
    if (path.size() < lockSuffix.size()) return {};
    path.replace(path.size() - lockSuffix.size(), lockSuffix.size(), ".sock");
    return path;
}

int parseCaptureRequest(std::string_view line)
{
    if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
    constexpr std::string_view verb = "capture ";
    if (line.substr(0, verb.size()) != verb) return 0;
    line.remove_prefix(verb.size());
    int action = 0;
    const auto [end, error] = std::from_chars(line.data(), line.data() + line.size(), action);
    if (error != std::errc() || end != line.data() + line.size()) return 0;
    return action >= 101 && action <= 112 ? action : 0;
}

CommandListener::CommandListener(QObject* parent)
    : QObject(parent)
    , m(std::make_unique<Impl>())
{
    m->retry.setSingleShot(true);
    connect(&m->retry, &QTimer::timeout, this, &CommandListener::resumeAccepting);
}

CommandListener::~CommandListener()
{
    // The clients count themselves out as they go, so they go while m lives.
    qDeleteAll(findChildren<QObject*>(Qt::FindDirectChildrenOnly));
    m->notifier.reset();
    if (m->fd >= 0) {
        ::close(m->fd);
        ::unlink(m->path.c_str());
    }
}

const std::string& CommandListener::errorText() const { return m->error; }

namespace {

// Empty when a socket may be made at the path: nothing there, or a socket,
// which only a dead agent can have left since the caller holds the lock.
std::string obstacleAt(const std::string& path)
{
    struct stat st { };
    if (::lstat(path.c_str(), &st) != 0)
        return errno == ENOENT ? std::string() : path + ": " + std::strerror(errno);
    if (S_ISSOCK(st.st_mode)) {
        if (::unlink(path.c_str()) == 0 || errno == ENOENT) return {};
        return "cannot remove the old socket " + path + ": " + std::strerror(errno);
    }
    const char* kind = S_ISDIR(st.st_mode) ? "a folder" : S_ISLNK(st.st_mode) ? "a link" : "a file";
    return path + " is " + kind + ", not a socket; it is left alone";
}

} // namespace

bool CommandListener::listen(const std::string& path)
{
    if (m->fd >= 0) return false;
    const SocketAddress address(path);
    if (!address.isValid()) {
        m->error = "no socket address for " + path;
        return false;
    }
    if (m->error = obstacleAt(path); !m->error.empty()) return false;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        m->error = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    // Nobody but the user may connect, even for the moment before the chmod.
    const mode_t old = ::umask(077);
    const bool bound = ::bind(fd, address.get(), address.size()) == 0;
    ::umask(old);
    if (!bound || ::listen(fd, MaxClients) != 0) {
        m->error = "cannot listen on " + path + ": " + std::strerror(errno);
        ::close(fd);
        return false;
    }
    m->fd = fd;
    m->path = path;
    m->notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(m->notifier.get(), &QSocketNotifier::activated, this, &CommandListener::acceptClients);
    return true;
}

void CommandListener::acceptClients()
{
    while (m->clients < MaxClients) {
        const int client = ::accept4(m->fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        const int error = errno;
        if (client >= 0) {
            m->pauseMs = 0;
            serve(client);
            continue;
        }
        if (error == EINTR || error == ECONNABORTED) continue;
        if (error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM) {
            // The connection stays queued and the socket stays readable: a
            // notifier left on would call back at once, for ever. Wait, longer
            // each time, for descriptors to come free.
            m->pauseMs = std::clamp(m->pauseMs * 2, FirstPauseMs, LongestPauseMs);
            pauseAccepting();
            m->retry.start(m->pauseMs);
        }
        return;
    }
    pauseAccepting(); // until a client finishes
}

void CommandListener::pauseAccepting()
{
    if (m->notifier) m->notifier->setEnabled(false);
}

void CommandListener::resumeAccepting()
{
    if (m->notifier && !m->retry.isActive() && m->clients < MaxClients) m->notifier->setEnabled(true);
}

void CommandListener::serve(int fd)
{
    if (!sameUser(fd)) {
        ::close(fd);
        return;
    }
    auto* client = new Client(fd, onCapture, this);
    ++m->clients;
    connect(client, &QObject::destroyed, this, [this] {
        --m->clients;
        resumeAccepting();
    });
}

SendResult sendCapture(const std::string& path, int action, int timeoutMs)
{
    struct stat st { };
    if (path.empty()) return SendResult::NoAgent;
    if (::lstat(path.c_str(), &st) != 0) return errno == ENOENT ? SendResult::NoAgent : SendResult::Failed;
    if (!S_ISSOCK(st.st_mode)) return SendResult::Blocked;
    const SocketAddress address(path);
    if (!address.isValid()) return SendResult::Failed;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return SendResult::Failed;
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer { fd };
    // A connect to an agent whose queue is full waits at most this long.
    const timeval limit { timeoutMs / 1000, (timeoutMs % 1000) * 1000 };
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    if (::connect(fd, address.get(), address.size()) != 0)
        return (errno == ENOENT || errno == ECONNREFUSED) ? SendResult::NoAgent : SendResult::Failed;
    if (!sameUser(fd)) return SendResult::Failed;
    const std::string request = "capture " + std::to_string(action) + "\n";
    if (::send(fd, request.data(), request.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(request.size()))
        return SendResult::Failed;
    return readAnswer(fd, timeoutMs);
}

} // namespace kaptivus::platform
