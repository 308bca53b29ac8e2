// The data-control clipboard: the private connection and its globals, the
// offers other programs make, our own source and the transfers it serves.
#include "platform/wayland/DataControl.h"

#include "platform/wayland/WaylandDisplay_p.h"
#include "wlr-data-control-unstable-v1-client-protocol.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <list>
#include <map>
#include <poll.h>
#include <unistd.h>

namespace kaptivus::platform::wayland {

using detail::Clock;

namespace {

// More readers at once than any desktop needs; one that asks beyond this gets
// an empty answer rather than more memory and descriptors of ours.
constexpr int kMaxTransfers = 16;
constexpr size_t kChunkBytes = 64 * 1024;

// A reader that goes away makes write() fail with EPIPE; without this the
// signal that comes with it would end the whole agent.
void ignoreBrokenPipes()
{
    struct sigaction current = {};
    if (sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) {
        struct sigaction ignore = {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        sigaction(SIGPIPE, &ignore, nullptr);
    }
}

// Reads and dispatches what the connection holds; called only when its socket
// is readable, so it never waits.
void dispatchAvailable(wl_display* display)
{
    while (wl_display_prepare_read(display) != 0) {
        if (wl_display_dispatch_pending(display) < 0) return;
    }
    wl_display_read_events(display);
    wl_display_dispatch_pending(display);
    wl_display_flush(display);
}

struct Offer {
    zwlr_data_control_offer_v1* proxy = nullptr;
    std::vector<std::string> types;
};

} // namespace

// One answer to a reader, written as the pipe takes it.
struct Transfer {
    int fd = -1;
    std::shared_ptr<const ClipboardBytes> bytes;
    size_t offset = 0;
    std::unique_ptr<QSocketNotifier> notifier;
    std::unique_ptr<QTimer> deadline;
    // Ends inside the notifier's or the timer's own signal: they go once
    // control is back in the event loop, silenced first.
    ~Transfer()
    {
        for (QObject* object : {static_cast<QObject*>(notifier.get()), static_cast<QObject*>(deadline.get())})
            if (object) QObject::disconnect(object, nullptr, nullptr, nullptr);
        if (notifier) {
            notifier->setEnabled(false); // unregistered before its descriptor closes
            notifier.release()->deleteLater();
        }
        if (deadline) {
            deadline->stop();
            deadline.release()->deleteLater();
        }
        if (fd >= 0) ::close(fd);
    }
};

struct DataControl::State {
    DataControl* owner = nullptr;
    std::chrono::milliseconds timeout {3000};
    std::string error;
    wl_display* display = nullptr;
    wl_registry* registry = nullptr;
    wl_seat* seat = nullptr;
    zwlr_data_control_manager_v1* manager = nullptr;
    zwlr_data_control_device_v1* device = nullptr;
    std::unique_ptr<QSocketNotifier> incoming;

    std::map<zwlr_data_control_offer_v1*, Offer> offers; // introduced, not yet the selection
    Offer selection; // the current selection, ours included; proxy null when none

    zwlr_data_control_source_v1* source = nullptr; // ours while it is the selection
    std::vector<std::string> sourceTypes;
    ClipboardProvider provider;
    std::map<std::string, std::shared_ptr<const ClipboardBytes>> made; // per type, made once
    std::list<std::unique_ptr<Transfer>> transfers;

    ~State();
    bool connect(const std::string& name);
    bool lost();
    void dropSource();
    void takeSelection(zwlr_data_control_offer_v1* proxy);
    std::shared_ptr<const ClipboardBytes> bytesOf(const std::string& type);
    void finishTransfer(Transfer* transfer);
    void writeSome(Transfer* transfer);
};

namespace {

const zwlr_data_control_offer_v1_listener kOfferListener {
    [](void* data, zwlr_data_control_offer_v1* proxy, const char* type) {
        auto* s = static_cast<DataControl::State*>(data);
        auto it = s->offers.find(proxy);
        // A type list has no business being long; a hostile owner gains nothing by it.
        if (it != s->offers.end() && it->second.types.size() < 256) it->second.types.emplace_back(type);
    },
};

const zwlr_data_control_device_v1_listener kDeviceListener {
    [](void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* proxy) {
        auto* s = static_cast<DataControl::State*>(data);
        s->offers[proxy].proxy = proxy;
        zwlr_data_control_offer_v1_add_listener(proxy, &kOfferListener, s);
    },
    [](void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* proxy) {
        static_cast<DataControl::State*>(data)->takeSelection(proxy);
    },
    [](void* data, zwlr_data_control_device_v1*) {
        auto* s = static_cast<DataControl::State*>(data);
        s->error = "The compositor withdrew the clipboard of this seat.";
    },
    // The primary selection (version 2) is not ours to read; its offer goes.
    [](void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* proxy) {
        auto* s = static_cast<DataControl::State*>(data);
        if (!proxy) return;
        s->offers.erase(proxy);
        zwlr_data_control_offer_v1_destroy(proxy);
    },
};

const zwlr_data_control_source_v1_listener kSourceListener {
    [](void* data, zwlr_data_control_source_v1*, const char* type, int32_t fd) {
        static_cast<DataControl::State*>(data)->owner->serve(type, fd);
    },
    [](void* data, zwlr_data_control_source_v1* source) {
        auto* s = static_cast<DataControl::State*>(data);
        if (source == s->source) s->dropSource();
        else zwlr_data_control_source_v1_destroy(source);
    },
};

const wl_registry_listener kRegistryListener {
    [](void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
        auto* s = static_cast<DataControl::State*>(data);
        const std::string_view which = interface;
        if (which == zwlr_data_control_manager_v1_interface.name && !s->manager)
            s->manager = static_cast<zwlr_data_control_manager_v1*>(
                wl_registry_bind(registry, name, &zwlr_data_control_manager_v1_interface, 1));
        else if (which == wl_seat_interface.name && !s->seat)
            s->seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    },
    [](void*, wl_registry*, uint32_t) {},
};

} // namespace

DataControl::State::~State()
{
    transfers.clear();
    for (auto& [proxy, offer] : offers) zwlr_data_control_offer_v1_destroy(proxy);
    if (selection.proxy) zwlr_data_control_offer_v1_destroy(selection.proxy);
    if (source) zwlr_data_control_source_v1_destroy(source);
    if (device) zwlr_data_control_device_v1_destroy(device);
    if (manager) zwlr_data_control_manager_v1_destroy(manager);
    if (seat) wl_seat_destroy(seat);
    if (registry) wl_registry_destroy(registry);
    incoming.reset();
    if (display) wl_display_disconnect(display);
}

bool DataControl::State::connect(const std::string& name)
{
    display = wl_display_connect(name.empty() ? nullptr : name.c_str());
    if (!display) {
        error = "Cannot connect to the Wayland compositor for the clipboard.";
        return false;
    }
    registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &kRegistryListener, this);
    const auto deadline = Clock::now() + timeout;
    if (!detail::roundtrip(display, deadline)) {
        error = "The Wayland compositor did not answer.";
        return false;
    }
    if (!manager || !seat) {
        error = manager ? "The Wayland compositor has no seat." :
                          "The Wayland compositor offers no clipboard to programs without a focused window "
                          "(no data-control protocol).";
        return false;
    }
    device = zwlr_data_control_manager_v1_get_data_device(manager, seat);
    zwlr_data_control_device_v1_add_listener(device, &kDeviceListener, this);
    // The device reports the current selection as soon as it exists.
    if (!detail::roundtrip(display, deadline)) {
        error = "The Wayland compositor did not answer.";
        return false;
    }
    return true;
}

bool DataControl::State::lost()
{
    if (!display) return true;
    const int code = wl_display_get_error(display);
    if (code == 0) return false;
    if (error.empty())
        error = std::string("The connection to the Wayland compositor for the clipboard broke: ")
            + std::strerror(code) + ".";
    // Found broken inside the notifier's own signal, maybe: it goes later.
    if (incoming) {
        incoming->setEnabled(false);
        incoming.release()->deleteLater();
    }
    return true;
}

void DataControl::State::takeSelection(zwlr_data_control_offer_v1* proxy)
{
    if (selection.proxy) zwlr_data_control_offer_v1_destroy(selection.proxy);
    selection = {};
    if (!proxy) return;
    auto it = offers.find(proxy);
    if (it != offers.end()) {
        selection = std::move(it->second);
        offers.erase(it);
    }
    selection.proxy = proxy;
}

void DataControl::State::dropSource()
{
    if (source) zwlr_data_control_source_v1_destroy(source);
    source = nullptr;
    sourceTypes.clear();
    provider = {};
    made.clear();
    // Transfers already under way keep their own share of the bytes and finish.
}

std::shared_ptr<const ClipboardBytes> DataControl::State::bytesOf(const std::string& type)
{
    if (std::find(sourceTypes.begin(), sourceTypes.end(), type) == sourceTypes.end() || !provider) return {};
    auto& bytes = made[type];
    if (!bytes) bytes = std::make_shared<const ClipboardBytes>(provider(type));
    return bytes;
}

void DataControl::State::finishTransfer(Transfer* transfer)
{
    transfers.remove_if([transfer](const auto& t) { return t.get() == transfer; });
}

void DataControl::State::writeSome(Transfer* t)
{
    while (t->offset < t->bytes->size()) {
        const size_t n = std::min(kChunkBytes, t->bytes->size() - t->offset);
        const ssize_t wrote = ::write(t->fd, t->bytes->data() + t->offset, n);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote < 0 && errno == EAGAIN) {
            t->notifier->setEnabled(true);
            t->deadline->start();
            return;
        }
        if (wrote <= 0) break; // the reader went away: nothing more to give it
        t->offset += static_cast<size_t>(wrote);
    }
    finishTransfer(t);
}

DataControl::DataControl(const std::string& display, std::chrono::milliseconds timeout, QObject* parent)
    : QObject(parent)
    , m(std::make_unique<State>())
{
    m->owner = this;
    m->timeout = timeout;
    ignoreBrokenPipes();
    if (!m->connect(display)) return;
    m->incoming = std::make_unique<QSocketNotifier>(wl_display_get_fd(m->display), QSocketNotifier::Read);
    connect(m->incoming.get(), &QSocketNotifier::activated, this, &DataControl::dispatchIncoming);
}

DataControl::~DataControl() = default;

bool DataControl::isAvailable() const { return m->device && !m->lost() && m->error.empty(); }
const std::string& DataControl::error() const { return m->error; }
int DataControl::pendingTransfers() const { return static_cast<int>(m->transfers.size()); }

// Called when the connection has something to read; never waits.
void DataControl::dispatchIncoming()
{
    if (m->lost()) return;
    dispatchAvailable(m->display);
    m->lost();
}

bool DataControl::setSelection(const std::vector<std::string>& types, ClipboardProvider provider)
{
    if (!isAvailable()) return false;
    m->dropSource();
    m->source = zwlr_data_control_manager_v1_create_data_source(m->manager);
    zwlr_data_control_source_v1_add_listener(m->source, &kSourceListener, m.get());
    for (const std::string& type : types) zwlr_data_control_source_v1_offer(m->source, type.c_str());
    m->sourceTypes = types;
    m->provider = std::move(provider);
    zwlr_data_control_device_v1_set_selection(m->device, m->source);
    // Taken when the compositor has answered and nobody has cancelled it since.
    if (!detail::roundtrip(m->display, Clock::now() + m->timeout)) {
        if (!m->lost()) m->error = "The Wayland compositor did not answer.";
        m->dropSource();
        return false;
    }
    return m->source != nullptr;
}

bool DataControl::ownsSelection() const { return m->source != nullptr; }

std::vector<std::string> DataControl::offeredTypes()
{
    if (!isAvailable()) return {};
    if (m->source) return m->sourceTypes;
    // Whatever arrived while the loop was busy elsewhere counts.
    detail::roundtrip(m->display, Clock::now() + m->timeout);
    return m->selection.types;
}

void DataControl::serve(const std::string& type, int fd)
{
    auto bytes = m->bytesOf(type);
    if (!bytes || static_cast<int>(m->transfers.size()) >= kMaxTransfers) {
        ::close(fd);
        return;
    }
    auto transfer = std::make_unique<Transfer>();
    Transfer* t = transfer.get();
    t->fd = fd;
    t->bytes = std::move(bytes);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    t->notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
    t->notifier->setEnabled(false);
    // A reader that stops reading is dropped after the timeout, so that no
    // transfer holds its memory and descriptor for ever.
    t->deadline = std::make_unique<QTimer>();
    t->deadline->setSingleShot(true);
    t->deadline->setInterval(m->timeout);
    State* state = m.get();
    connect(t->notifier.get(), &QSocketNotifier::activated, this, [state, t] {
        t->notifier->setEnabled(false);
        state->writeSome(t);
    });
    connect(t->deadline.get(), &QTimer::timeout, this, [state, t] { state->finishTransfer(t); });
    m->transfers.push_back(std::move(transfer));
    m->writeSome(t);
}

namespace {

// Reads the pipe to its end while serving the connection (a reader's owner may
// be waiting for events of ours). False with `error` set on a failure.
bool drainPipe(wl_display* display, int fd, size_t maxBytes, Clock::time_point deadline, ClipboardBytes& out,
    std::string& error)
{
    uint8_t buffer[kChunkBytes];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            error = "The program that owns the clipboard did not hand its data over in time.";
            return false;
        }
        wl_display_flush(display);
        pollfd fds[2] = {{fd, POLLIN, 0}, {wl_display_get_fd(display), POLLIN, 0}};
        const int ready = ::poll(fds, 2, static_cast<int>(left));
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) {
            error = std::string("Reading the clipboard failed: ") + std::strerror(errno) + ".";
            return false;
        }
        if (fds[1].revents & POLLIN) dispatchAvailable(display);
        if (!(fds[0].revents & (POLLIN | POLLHUP | POLLERR))) continue;
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (got < 0) {
            error = std::string("Reading the clipboard failed: ") + std::strerror(errno) + ".";
            return false;
        }
        if (got == 0) return true;
        if (out.size() + static_cast<size_t>(got) > maxBytes) {
            error = "The data on the clipboard is larger than the " + std::to_string(maxBytes >> 20)
                + " MB a picture may have.";
            return false;
        }
        out.insert(out.end(), buffer, buffer + got);
    }
}

} // namespace

SelectionRead DataControl::read(const std::string& type, size_t maxBytes)
{
    if (!isAvailable()) return {std::nullopt, m->error};
    if (m->source) {
        auto bytes = m->bytesOf(type);
        if (!bytes) return {};
        if (bytes->size() > maxBytes) return {std::nullopt, "The data on the clipboard is too large."};
        return {*bytes, {}};
    }
    const auto& types = offeredTypes();
    if (!m->selection.proxy || std::find(types.begin(), types.end(), type) == types.end()) return {};
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0)
        return {std::nullopt, std::string("Reading the clipboard failed: ") + std::strerror(errno) + "."};
    zwlr_data_control_offer_v1_receive(m->selection.proxy, type.c_str(), pipeFds[1]);
    wl_display_flush(m->display);
    ::close(pipeFds[1]);
    SelectionRead result;
    ClipboardBytes bytes;
    if (drainPipe(m->display, pipeFds[0], maxBytes, Clock::now() + m->timeout, bytes, result.error))
        result.bytes = std::move(bytes);
    ::close(pipeFds[0]);
    m->lost();
    return result;
}

namespace {

DataControl*& shared()
{
    static DataControl* control = nullptr;
    return control;
}

} // namespace

DataControl& sessionDataControl()
{
    // Goes with the application, before the event loop it relies on.
    if (!shared()) shared() = new DataControl({}, std::chrono::milliseconds(3000), QCoreApplication::instance());
    return *shared();
}

void setSessionDataControl(std::unique_ptr<DataControl> replacement)
{
    delete shared();
    shared() = replacement.release();
    if (shared()) shared()->setParent(QCoreApplication::instance());
}

} // namespace kaptivus::platform::wayland
