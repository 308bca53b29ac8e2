// Waits until the X session is usable: a window manager announces itself
// through _NET_SUPPORTING_WM_CHECK and a system tray owns _NET_SYSTEM_TRAY_S0.
// Usage: xready SECONDS. Exits 0 when both are there, 1 on timeout.
#include <xcb/xcb.h>

#include <cstring>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>

namespace {

xcb_atom_t atom(xcb_connection_t* c, const char* name)
{
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&free)> r(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<uint16_t>(strlen(name)), name), nullptr), &free);
    return r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
}

bool wmReady(xcb_connection_t* c, xcb_window_t root, xcb_atom_t check)
{
    std::unique_ptr<xcb_get_property_reply_t, decltype(&free)> r(
        xcb_get_property_reply(c, xcb_get_property(c, 0, root, check, XCB_ATOM_WINDOW, 0, 1), nullptr), &free);
    if (!r || xcb_get_property_value_length(r.get()) < 4) return false;
    const xcb_window_t w = *static_cast<xcb_window_t*>(xcb_get_property_value(r.get()));
    std::unique_ptr<xcb_get_window_attributes_reply_t, decltype(&free)> a(
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, w), nullptr), &free);
    return a != nullptr;
}

bool trayReady(xcb_connection_t* c, xcb_atom_t tray)
{
    std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&free)> r(
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, tray), nullptr), &free);
    return r && r->owner != XCB_WINDOW_NONE;
}

} // namespace


int main(int argc, char** argv)
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : 20.0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) return 1;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const xcb_atom_t check = atom(c, "_NET_SUPPORTING_WM_CHECK");
    const xcb_atom_t tray = atom(c, "_NET_SYSTEM_TRAY_S0");
    while (!(wmReady(c, root, check) && trayReady(c, tray))) {
        if (std::chrono::steady_clock::now() > deadline) return 1;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    xcb_disconnect(c);
    return 0;
}
