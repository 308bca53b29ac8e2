// Private to platform/: the X connection the screen services share, reply
// ownership and small property readers. The only header that names xcb types;
// nothing outside platform/ may include it.
#pragma once

#include <cstdlib>
#include <memory>
#include <optional>
#include <string_view>
#include <type_traits>
#include <vector>
#include <xcb/xcb.h>

namespace kaptivus::platform::xcb {

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <class T> using Reply = std::unique_ptr<T, FreeDeleter>;

// Waits for a reply; an X error is swallowed (freed) and gives a null reply
// instead of landing in the event queue.
template <class Fn, class Cookie> auto reply(xcb_connection_t* c, Fn fn, Cookie cookie)
{
    xcb_generic_error_t* error = nullptr;
    auto* r = fn(c, cookie, &error);
    std::free(error);
    return Reply<std::remove_pointer_t<decltype(r)>>(r);
}

// The error of a checked request, 0 when it succeeded.
uint8_t errorCode(xcb_connection_t* c, xcb_void_cookie_t cookie);

// A connection to $DISPLAY with its default screen. Null members when the
// display cannot be reached.
class Connection {
public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    bool isValid() const;
    xcb_connection_t* get() const { return m_connection; }
    xcb_screen_t* screen() const { return m_screen; }
    xcb_window_t root() const { return m_screen ? m_screen->root : xcb_window_t(XCB_WINDOW_NONE); }
    // Drops events and errors nobody waits for, so the queue never grows.
    void discardEvents() const;
    // A round trip: every request sent before has been processed by the server.
    void sync() const;

private:
    xcb_connection_t* m_connection = nullptr;
    xcb_screen_t* m_screen = nullptr;
};

// The screen services' connection, opened on first use, valid or not.
Connection& shared();

xcb_atom_t atom(xcb_connection_t* c, std::string_view name);
// A property's 32-bit items (CARDINAL, WINDOW, ATOM...); empty when absent.
std::vector<uint32_t> property32(
    xcb_connection_t* c, xcb_window_t w, xcb_atom_t property, xcb_atom_t type, uint32_t maxItems = 64);
bool hasProperty(xcb_connection_t* c, xcb_window_t w, xcb_atom_t property);

} // namespace kaptivus::platform::xcb
