// Presses one key COUNT times through XTest, each time waiting up to half a
// second for the CLIPBOARD to change owner (what the clipboard route does), and
// prints how many presses were answered that way and how many were not. After
// an answer it lets SETTLE milliseconds pass: the route's notice runs pending
// events before the gate opens, and a press in that moment is refused.
// Usage: xsoak KEYSYM-NUMBER COUNT [SETTLE-MS]
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <xcb/xfixes.h>
#include <xcb/xtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>

namespace {

xcb_atom_t atom(xcb_connection_t* c, const char* name)
{
    auto* reply = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t a = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(reply);
    return a;
}

// Waits for the next owner change of the selection; false after the timeout.
bool waitOwnerChange(xcb_connection_t* c, uint8_t xfixesEvent, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        while (xcb_generic_event_t* e = xcb_poll_for_event(c)) {
            const bool owner = (e->response_type & 0x7f) == xfixesEvent + XCB_XFIXES_SELECTION_NOTIFY;
            free(e);
            if (owner) return true;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || xcb_connection_has_error(c)) return false;
        pollfd p { xcb_get_file_descriptor(c), POLLIN, 0 };
        poll(&p, 1, static_cast<int>(left.count()));
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: xsoak KEYSYM-NUMBER COUNT [SETTLE-MS]\n");
        return 2;
    }
    const auto keysym = static_cast<xcb_keysym_t>(std::strtoul(argv[1], nullptr, 0));
    const long count = std::strtol(argv[2], nullptr, 10);
    const long settleMs = argc == 4 ? std::strtol(argv[3], nullptr, 10) : 0;
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) return 1;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const xcb_query_extension_reply_t* xfixes = xcb_get_extension_data(c, &xcb_xfixes_id);
    if (!xfixes || !xfixes->present) return 1;
    free(xcb_xfixes_query_version_reply(c, xcb_xfixes_query_version(c, 5, 0), nullptr));
    xcb_xfixes_select_selection_input(c, root, atom(c, "CLIPBOARD"),
                                      XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER);
    xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(c);
    xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols, keysym);
    const xcb_keycode_t code = codes ? codes[0] : 0;
    free(codes);
    if (code == 0) return 1;
    long answered = 0;
    for (long i = 0; i < count; ++i) {
        xcb_test_fake_input(c, XCB_KEY_PRESS, code, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        xcb_test_fake_input(c, XCB_KEY_RELEASE, code, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        xcb_flush(c);
        if (!waitOwnerChange(c, xfixes->first_event, 500)) continue;
        ++answered;
        if (settleMs > 0) poll(nullptr, 0, static_cast<int>(settleMs));
    }
    std::printf("presses %ld answered %ld unanswered %ld\n", count, answered, count - answered);
    xcb_key_symbols_free(symbols);
    xcb_disconnect(c);
    return 0;
}
