// A Unix stream socket beside the single-instance lock, in a folder only the
// user can reach. Each request is one short line; a client that says nothing
// within two seconds is dropped (one let in that waits for the outcome is
// not), only processes of the same user are heard, and a full descriptor
// table pauses accepting instead of spinning on it.
#include "platform/CommandChannel.h"

#include "platform/SingleInstance.h"

#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <optional>
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

// One line of the agent's own text: control characters (a newline would end
// the line early) become blanks, and the line is cut to a bound on a
// character's boundary.
std::string oneLine(std::string_view text, size_t limit)
{
    size_t end = std::min(limit, text.size());
    // A character the bound would split goes whole.
    while (end > 0 && end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    std::string line(text.substr(0, end));
    for (char& c : line)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
    return line;
}

std::string outcomeLine(Outcome outcome, const std::string& reason)
{
    switch (outcome) {
    case Outcome::Done: return "done\n";
    case Outcome::Cancelled: return "cancelled\n";
    case Outcome::Failed: break;
    }
    const std::string said = oneLine(reason, MaxOutcomeReason);
    return "failed " + (said.empty() ? std::string("no reason given") : said) + "\n";
}

// One connection: reads up to a newline or MaxRequest bytes and answers. A
// client that waits for the outcome is kept, without a deadline, until the
// action has ended or the client has gone; any other is closed at once.
class Client : public QObject {
public:
    Client(int fd, const std::function<bool(int, const OutcomeReply&)>& decide, QObject* parent)
        : QObject(parent)
        , m_fd(fd)
        , m_decide(decide)
        , m_notifier(fd, QSocketNotifier::Read)
    {
        connect(&m_notifier, &QSocketNotifier::activated, this, &Client::read);
        m_deadline.setSingleShot(true);
        connect(&m_deadline, &QTimer::timeout, this, &Client::finish);
        m_deadline.start(ClientDeadlineMs);
    }
    ~Client() override { ::close(m_fd); }

private:
    enum class State { Reading, Waiting, Closed };

    void read()
    {
        if (m_state == State::Waiting) return watchForHangUp();
        char chunk[MaxRequest];
        const ssize_t n = ::recv(m_fd, chunk, MaxRequest - m_line.size(), MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
        if (n > 0) m_line.append(chunk, static_cast<size_t>(n));
        if (n > 0 && m_line.find('\n') == std::string::npos && m_line.size() < MaxRequest) return;
        answer();
    }
    // Whatever a waiting client sends more is dropped; its end ends the wait.
    void watchForHangUp()
    {
        char chunk[MaxRequest];
        const ssize_t n = ::recv(m_fd, chunk, sizeof chunk, MSG_DONTWAIT);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) finish();
    }
    void answer()
    {
        const CaptureRequest request = parseCaptureRequest(m_line);
        if (request.action == 0) {
            say("bad\n");
            return finish();
        }
        const QPointer<Client> self(this);
        const OutcomeReply finished = [self](Outcome outcome, const std::string& reason) {
            if (self) self->tell(outcomeLine(outcome, reason));
        };
        if (!m_decide || !m_decide(request.action, finished)) {
            say("busy\n");
            return finish();
        }
        say("ok\n");
        if (!request.waits) return finish();
        m_state = State::Waiting;
        m_deadline.stop();
        // The action may have ended before the gate's answer went out.
        if (!m_outcome.empty()) tell(m_outcome);
    }
    void tell(const std::string& line)
    {
        if (m_state == State::Closed) return;
        if (m_outcome.empty()) m_outcome = line;
        if (m_state != State::Waiting) return;
        say(m_outcome);
        finish();
    }
    // A client that has gone is no concern of the agent's: no signal, no wait.
    void say(const std::string& line) { (void)!::send(m_fd, line.data(), line.size(), MSG_NOSIGNAL | MSG_DONTWAIT); }
    void finish()
    {
        m_state = State::Closed;
        m_deadline.stop();
        m_notifier.setEnabled(false);
        deleteLater();
    }

    int m_fd;
    std::function<bool(int, const OutcomeReply&)> m_decide;
    QSocketNotifier m_notifier;
    QTimer m_deadline;
    State m_state = State::Reading;
    std::string m_line;
    std::string m_outcome;
};

// The agent's lines as they come, one at a time, each at most `limit` bytes.
class LineReader {
public:
    explicit LineReader(int fd)
        : m_fd(fd)
    {
    }
    // The next line without its newline; nothing when the agent closed first,
    // sent a longer line, or said nothing within timeoutMs (-1: no limit).
    std::optional<std::string> next(int timeoutMs, size_t limit)
    {
        for (;;) {
            if (const auto end = m_buffer.find('\n'); end != std::string::npos) {
                if (end > limit) return std::nullopt;
                std::string line = m_buffer.substr(0, end);
                m_buffer.erase(0, end + 1);
                return line;
            }
            if (m_buffer.size() > limit) return std::nullopt;
            pollfd p { m_fd, POLLIN, 0 };
            const int ready = ::poll(&p, 1, timeoutMs);
            if (ready < 0 && errno == EINTR) continue;
            if (ready <= 0) return std::nullopt;
            char chunk[256];
            const ssize_t n = ::recv(m_fd, chunk, sizeof chunk, 0);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return std::nullopt;
            m_buffer.append(chunk, static_cast<size_t>(n));
        }
    }

private:
    int m_fd;
    std::string m_buffer;
};

SendAnswer outcomeOf(const std::optional<std::string>& line)
{
    if (!line) return { SendResult::Unfinished, {} };
    if (*line == "done") return { SendResult::Done, {} };
    if (*line == "cancelled") return { SendResult::Cancelled, {} };
    constexpr std::string_view failed = "failed ";
    if (line->starts_with(failed))
        return { SendResult::ActionFailed, oneLine(std::string_view(*line).substr(failed.size()), MaxOutcomeReason) };
    return { SendResult::Failed, {} };
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

CaptureRequest parseCaptureRequest(std::string_view line)
{
    if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
    constexpr std::string_view verb = "capture ";
    constexpr std::string_view waits = " wait";
    if (line.substr(0, verb.size()) != verb) return {};
    line.remove_prefix(verb.size());
    const bool waiting = line.ends_with(waits);
    if (waiting) line.remove_suffix(waits.size());
    int action = 0;
    const auto [end, error] = std::from_chars(line.data(), line.data() + line.size(), action);
    if (error != std::errc() || end != line.data() + line.size() || action < 101 || action > 112) return {};
    return { action, waiting };
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

namespace {

// A connected socket to the agent at the path, or -1 with the reason in `result`.
int connectToAgent(const std::string& path, int timeoutMs, SendResult& result)
{
    struct stat st { };
    result = SendResult::Failed;
    if (path.empty()) {
        result = SendResult::NoAgent;
        return -1;
    }
    if (::lstat(path.c_str(), &st) != 0) {
        if (errno == ENOENT) result = SendResult::NoAgent;
        return -1;
    }
    if (!S_ISSOCK(st.st_mode)) {
        result = SendResult::Blocked;
        return -1;
    }
    const SocketAddress address(path);
    if (!address.isValid()) return -1;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    // A connect to an agent whose queue is full waits at most this long.
    const timeval limit { timeoutMs / 1000, (timeoutMs % 1000) * 1000 };
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    if (::connect(fd, address.get(), address.size()) != 0) {
        if (errno == ENOENT || errno == ECONNREFUSED) result = SendResult::NoAgent;
        ::close(fd);
        return -1;
    }
    if (!sameUser(fd)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// One request and its answers. `waits`: the request asks to be told how
// the action ended; nullopt when the agent does not know that request.
std::optional<SendAnswer> exchange(const std::string& path, int action, bool waits, int timeoutMs)
{
    SendResult unreached = SendResult::Failed;
    const int fd = connectToAgent(path, timeoutMs, unreached);
    if (fd < 0) return SendAnswer { unreached, {} };
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer { fd };
    const std::string request = "capture " + std::to_string(action) + (waits ? " wait\n" : "\n");
    if (::send(fd, request.data(), request.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(request.size()))
        return SendAnswer {};
    LineReader lines(fd);
    const auto gate = lines.next(timeoutMs, MaxRequest);
    if (gate == "busy") return SendAnswer { SendResult::Refused, {} };
    if (gate == "bad" && waits) return std::nullopt;
    if (gate != "ok") return SendAnswer {};
    if (!waits) return SendAnswer { SendResult::Done, {} };
    return outcomeOf(lines.next(-1, MaxOutcomeReason + 32));
}

} // namespace

SendAnswer sendCapture(const std::string& path, int action, int timeoutMs)
{
    if (auto answer = exchange(path, action, true, timeoutMs)) return *answer;
    // Only an agent of an older build refuses a well-formed request; it runs
    // the action all the same when asked the old way, without telling more.
    return exchange(path, action, false, timeoutMs).value_or(SendAnswer {});
}

} // namespace kaptivus::platform
