// Watches the root window for RandR notifications and for the root's own
// ConfigureNotify, which is what a server sends when a monitor is defined or
// deleted (no RandR event comes then).
#include "platform/MonitorWatcher.h"

#include <QSocketNotifier>
#include <QTimer>

#include <cstdlib>
#include <xcb/randr.h>
#include <xcb/xcb.h>

namespace kaptivus::platform {

struct MonitorWatcher::Connection {
    xcb_connection_t* c = nullptr;
    ~Connection()
    {
        if (c) xcb_disconnect(c);
    }
};

MonitorWatcher::MonitorWatcher(QObject* parent) : QObject(parent), m_connection(std::make_unique<Connection>())
{
    int screenNumber = 0;
    xcb_connection_t* c = xcb_connect(nullptr, &screenNumber);
    m_connection->c = c;
    if (xcb_connection_has_error(c)) return;
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber && it.rem > 0; ++i) xcb_screen_next(&it);
    if (it.rem <= 0) return;
    const xcb_window_t root = it.data->root;
    const uint32_t mask[] = {XCB_EVENT_MASK_STRUCTURE_NOTIFY};
    xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, mask);
    const xcb_query_extension_reply_t* randr = xcb_get_extension_data(c, &xcb_randr_id);
    if (randr && randr->present) {
        std::free(xcb_randr_query_version_reply(c, xcb_randr_query_version(c, 1, 5), nullptr));
        xcb_randr_select_input(c, root,
            XCB_RANDR_NOTIFY_MASK_SCREEN_CHANGE | XCB_RANDR_NOTIFY_MASK_CRTC_CHANGE
                | XCB_RANDR_NOTIFY_MASK_OUTPUT_CHANGE);
    }
    xcb_flush(c);
    // A rearrangement arrives as several events; one reading after the burst.
    m_burst = new QTimer(this);
    m_burst->setSingleShot(true);
    m_burst->setInterval(50);
    connect(m_burst, &QTimer::timeout, this, &MonitorWatcher::monitorsChanged);
    m_notifier = new QSocketNotifier(xcb_get_file_descriptor(c), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &MonitorWatcher::readEvents);
}

MonitorWatcher::~MonitorWatcher() = default;

bool MonitorWatcher::isWatching() const { return m_notifier != nullptr; }

void MonitorWatcher::readEvents()
{
    xcb_connection_t* c = m_connection->c;
    bool any = false;
    while (xcb_generic_event_t* e = xcb_poll_for_event(c)) {
        any = true;
        std::free(e);
    }
    if (xcb_connection_has_error(c)) {
        // The display is gone; the program ends with it anyway.
        m_notifier->setEnabled(false);
        return;
    }
    if (any && !m_burst->isActive()) m_burst->start();
}

bool MonitorWatcher::catchUp()
{
    if (!m_notifier) return false;
    readEvents();
    if (!m_burst->isActive()) return false;
    m_burst->stop();
    return true;
}

} // namespace kaptivus::platform
