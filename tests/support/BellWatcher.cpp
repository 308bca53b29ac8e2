// XKB bell events through raw requests: only two XKB requests are needed
// (UseExtension, SelectEvents), so no XKB client library is required.
#include "BellWatcher.h"

#include "XTest.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <sys/uio.h>
#include <xcb/xcb.h>
#include <xcb/xcbext.h>

namespace kaptivus::test {

namespace {

xcb_extension_t xkbExtension = { "XKEYBOARD", 0 };

constexpr uint8_t UseExtension = 0;
constexpr uint8_t SelectEvents = 1;
constexpr uint16_t UseCoreKeyboard = 0x100;
constexpr uint16_t BellNotifyMask = 1u << 8;
constexpr uint8_t BellNotify = 8;

unsigned int sendXkb(xcb_connection_t* c, uint8_t minor, void* body, size_t size, bool hasReply)
{
    struct iovec parts[4];
    parts[2].iov_base = body;
    parts[2].iov_len = size;
    parts[3].iov_base = nullptr;
    parts[3].iov_len = 0;
    const xcb_protocol_request_t request { 2, &xkbExtension, minor, static_cast<uint8_t>(hasReply ? 0 : 1) };
    return xcb_send_request(c, XCB_REQUEST_CHECKED, parts + 2, &request);
}

} // namespace

struct BellWatcher::Connection {
    xcb_connection_t* c = nullptr;
    uint8_t firstEvent = 0;
};

BellWatcher::BellWatcher()
{
    m_connection = new Connection { xcb_connect(nullptr, nullptr), 0 };
    xcb_connection_t* c = m_connection->c;
    if (xcb_connection_has_error(c)) return;
    const xcb_query_extension_reply_t* ext = xcb_get_extension_data(c, &xkbExtension);
    if (!ext || !ext->present) return;
    m_connection->firstEvent = ext->first_event;

    struct {
        uint8_t major, minor;
        uint16_t length;
        uint16_t wantedMajor, wantedMinor;
    } use { 0, 0, 0, 1, 0 };
    xcb_generic_error_t* error = nullptr;
    std::unique_ptr<uint8_t, decltype(&std::free)> reply(
        static_cast<uint8_t*>(xcb_wait_for_reply(c, sendXkb(c, UseExtension, &use, sizeof use, true), &error)),
        &std::free);
    std::free(error);
    // The reply's second byte says whether the server speaks this XKB version.
    const bool supported = reply && reply.get()[1] != 0;
    if (!supported) return;

    struct {
        uint8_t major, minor;
        uint16_t length, deviceSpec, affectWhich, clear, selectAll, affectMap, map;
    } select { 0, 0, 0, UseCoreKeyboard, BellNotifyMask, 0, BellNotifyMask, 0, 0 };
    const xcb_void_cookie_t cookie { sendXkb(c, SelectEvents, &select, sizeof select, false) };
    xcb_generic_error_t* selectError = xcb_request_check(c, cookie);
    m_watching = selectError == nullptr;
    std::free(selectError);
}

BellWatcher::~BellWatcher()
{
    if (m_connection->c) xcb_disconnect(m_connection->c);
    delete m_connection;
}

int BellWatcher::count()
{
    if (!m_watching) return 0;
    while (xcb_generic_event_t* e = xcb_poll_for_event(m_connection->c)) {
        const uint8_t* bytes = reinterpret_cast<const uint8_t*>(e);
        if ((e->response_type & 0x7f) == m_connection->firstEvent && bytes[1] == BellNotify) ++m_count;
        std::free(e);
    }
    return m_count;
}

bool BellWatcher::waitForCount(int n, std::chrono::milliseconds timeout)
{
    return waitUntil([&] { return count() >= n; }, timeout);
}

} // namespace kaptivus::test
