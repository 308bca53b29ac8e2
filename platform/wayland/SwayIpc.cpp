// The sway IPC exchange over a Unix socket, every read and write bounded by
// one deadline.
#include "platform/wayland/SwayIpc.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace kaptivus::platform::wayland {
namespace {

using Clock = std::chrono::steady_clock;

constexpr char kMagic[] = "i3-ipc";
constexpr size_t kMagicSize = 6;
constexpr size_t kHeaderSize = kMagicSize + 8;
constexpr uint32_t kGetTree = 4;

class Socket {
public:
    explicit Socket(int fd)
        : m_fd(fd)
    {
    }
    ~Socket()
    {
        if (m_fd >= 0) close(m_fd);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

// Waits for the socket to be ready for `events` until the deadline.
bool waitFor(int fd, short events, Clock::time_point deadline)
{
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return false;
        pollfd pfd { fd, events, 0 };
        const int ready = poll(&pfd, 1, static_cast<int>(left));
        if (ready > 0) return true;
        if (ready == 0 || errno != EINTR) return false;
    }
}

bool sendAll(int fd, const std::string& bytes, Clock::time_point deadline)
{
    size_t sent = 0;
    while (sent < bytes.size()) {
        if (!waitFor(fd, POLLOUT, deadline)) return false;
        const ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

bool receiveAll(int fd, char* into, size_t size, Clock::time_point deadline)
{
    size_t got = 0;
    while (got < size) {
        if (!waitFor(fd, POLLIN, deadline)) return false;
        const ssize_t n = recv(fd, into + got, size - got, MSG_DONTWAIT);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) return false;
        got += static_cast<size_t>(n);
    }
    return true;
}

std::string header(uint32_t length, uint32_t type)
{
    std::string h(kMagic, kMagicSize);
    h.append(reinterpret_cast<const char*>(&length), 4);
    h.append(reinterpret_cast<const char*>(&type), 4);
    return h;
}

int connectTo(const std::string& path, std::string& error)
{
    sockaddr_un address {};
    if (path.empty() || path.size() >= sizeof(address.sun_path)) {
        error = path.empty() ? "No sway IPC socket: SWAYSOCK is not set." : "The sway IPC socket path is too long.";
        return -1;
    }
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        error = "Cannot connect to sway's IPC socket " + path + ": " + std::strerror(errno) + ".";
        if (fd >= 0) close(fd);
        return -1;
    }
    return fd;
}

} // namespace

SwayReply swayRequest(
    uint32_t type, const std::string& payload, const std::string& socketPath, std::chrono::milliseconds timeout)
{
    SwayReply reply;
    const char* env = getenv("SWAYSOCK");
    const std::string path = socketPath.empty() ? std::string(env ? env : "") : socketPath;
    const auto deadline = Clock::now() + timeout;
    Socket socket(connectTo(path, reply.error));
    if (socket.fd() < 0) return reply;
    if (payload.size() > kMaxSwayReply
        || !sendAll(socket.fd(), header(uint32_t(payload.size()), type) + payload, deadline)) {
        reply.error = "Cannot send a request to sway's IPC socket.";
        return reply;
    }
    char head[kHeaderSize];
    if (!receiveAll(socket.fd(), head, kHeaderSize, deadline) || std::memcmp(head, kMagic, kMagicSize) != 0) {
        reply.error = "sway did not answer on its IPC socket in time.";
        return reply;
    }
    uint32_t length = 0;
    uint32_t answered = 0;
    std::memcpy(&length, head + kMagicSize, 4);
    std::memcpy(&answered, head + kMagicSize + 4, 4);
    if (length > kMaxSwayReply || answered != type) {
        reply.error = "sway's IPC reply is too large or of another kind.";
        return reply;
    }
    reply.payload.resize(length);
    if (!receiveAll(socket.fd(), reply.payload.data(), length, deadline)) {
        reply.payload.clear();
        reply.error = "sway's IPC reply was cut short or came too late.";
    }
    return reply;
}

SwayTree readSwayTree(const std::string& socketPath, std::chrono::milliseconds timeout)
{
    const SwayReply reply = swayRequest(kGetTree, {}, socketPath, timeout);
    if (!reply.ok()) {
        SwayTree tree;
        tree.error = reply.error;
        return tree;
    }
    return parseSwayTree(reply.payload);
}

} // namespace kaptivus::platform::wayland
