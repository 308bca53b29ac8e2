// A Unix stream socket in the user's private runtime folder. Each request is
// one short line; a client that says nothing within two seconds is dropped,
// and only processes of the same user are heard.
#include "platform/CommandChannel.h"

#include "platform/SingleInstance.h"

#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace kaptivus::platform {

namespace {

constexpr size_t MaxRequest = 64;
constexpr int ClientDeadlineMs = 2000;

bool fillAddress(const std::string& path, sockaddr_un& address)
{
    address = {};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

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

} // namespace

struct CommandListener::Impl {
    int fd = -1;
    std::string path;
    std::unique_ptr<QSocketNotifier> notifier;
};

std::string commandChannelPath(std::string_view name)
{
    const char* display = std::getenv("DISPLAY");
    std::string path = singleInstanceLockPath(name, display ? display : "");
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
}

CommandListener::~CommandListener()
{
    m->notifier.reset();
    if (m->fd >= 0) {
        ::close(m->fd);
        ::unlink(m->path.c_str());
    }
}

bool CommandListener::listen(const std::string& path)
{
    sockaddr_un address;
    if (m->fd >= 0 || !fillAddress(path, address)) return false;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return false;
    ::unlink(path.c_str());
    // Nobody but the user may connect, even for the moment before the chmod.
    const mode_t old = ::umask(077);
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::umask(old);
    if (!bound || ::listen(fd, 16) != 0) {
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
    for (;;) {
        const int client = ::accept4(m->fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (client < 0) return;
        serve(client);
    }
}

void CommandListener::serve(int fd)
{
    if (!sameUser(fd)) {
        ::close(fd);
        return;
    }
    new Client(fd, onCapture, this);
}

SendResult sendCapture(const std::string& path, int action, int timeoutMs)
{
    sockaddr_un address;
    if (!fillAddress(path, address)) return SendResult::NoAgent;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return SendResult::Failed;
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer { fd };
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        return (errno == ENOENT || errno == ECONNREFUSED) ? SendResult::NoAgent : SendResult::Failed;
    const std::string request = "capture " + std::to_string(action) + "\n";
    if (::send(fd, request.data(), request.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(request.size()))
        return SendResult::Failed;
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

} // namespace kaptivus::platform
