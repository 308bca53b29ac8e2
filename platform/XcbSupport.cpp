// The shared X connection and property readers of the platform services.
#include "platform/XcbSupport_p.h"

namespace kaptivus::platform::xcb {

uint8_t errorCode(xcb_connection_t* c, xcb_void_cookie_t cookie)
{
    Reply<xcb_generic_error_t> error(xcb_request_check(c, cookie));
    return error ? error->error_code : 0;
}

Connection::Connection()
{
    int screenNumber = 0;
    m_connection = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(m_connection)) return;
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(m_connection));
    for (int i = 0; it.rem > 0; ++i, xcb_screen_next(&it)) {
        if (i == screenNumber) {
            m_screen = it.data;
            break;
        }
    }
}

Connection::~Connection()
{
    if (m_connection) xcb_disconnect(m_connection);
}

bool Connection::isValid() const
{
    return m_connection && m_screen && !xcb_connection_has_error(m_connection);
}

void Connection::discardEvents() const
{
    if (!m_connection) return;
    while (xcb_generic_event_t* e = xcb_poll_for_event(m_connection))
        std::free(e);
}

void Connection::sync() const
{
    if (!isValid()) return;
    reply(m_connection, xcb_get_input_focus_reply, xcb_get_input_focus(m_connection));
}

Connection& shared()
{
    static Connection connection;
    return connection;
}

xcb_atom_t atom(xcb_connection_t* c, std::string_view name)
{
    auto r = reply(c, xcb_intern_atom_reply, xcb_intern_atom(c, 0, static_cast<uint16_t>(name.size()), name.data()));
    return r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
}

std::vector<uint32_t> property32(
    xcb_connection_t* c, xcb_window_t w, xcb_atom_t property, xcb_atom_t type, uint32_t maxItems)
{
    if (w == XCB_WINDOW_NONE || property == XCB_ATOM_NONE) return {};
    auto r = reply(c, xcb_get_property_reply, xcb_get_property(c, 0, w, property, type, 0, maxItems));
    if (!r || r->format != 32 || r->type != type) return {};
    const int length = xcb_get_property_value_length(r.get());
    if (length <= 0) return {};
    const auto* values = static_cast<const uint32_t*>(xcb_get_property_value(r.get()));
    return std::vector<uint32_t>(values, values + length / 4);
}

bool hasProperty(xcb_connection_t* c, xcb_window_t w, xcb_atom_t property)
{
    if (w == XCB_WINDOW_NONE || property == XCB_ATOM_NONE) return false;
    auto r = reply(c, xcb_get_property_reply, xcb_get_property(c, 0, w, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 0));
    return r && r->type != XCB_ATOM_NONE;
}

} // namespace kaptivus::platform::xcb
