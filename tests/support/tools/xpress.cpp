// Presses and releases a key through XTest, as a person at the keyboard would,
// on the key code that already carries the keysym (never a remapped spare key).
// Usage: xpress KEYSYM-NUMBER [MODIFIER-KEYSYM-NUMBER...]   e.g. xpress 0xff61
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

xcb_keycode_t keycodeOf(xcb_key_symbols_t* symbols, xcb_keysym_t keysym)
{
    xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols, keysym);
    const xcb_keycode_t code = codes ? codes[0] : 0;
    free(codes);
    return code;
}

void fake(xcb_connection_t* c, uint8_t type, xcb_keycode_t code)
{
    xcb_test_fake_input(c, type, code, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: xpress KEYSYM [MODIFIER-KEYSYM...]\n");
        return 2;
    }
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) return 1;
    xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(c);
    std::vector<xcb_keycode_t> modifiers;
    for (int i = 2; i < argc; ++i) modifiers.push_back(keycodeOf(symbols, std::strtoul(argv[i], nullptr, 0)));
    const xcb_keycode_t key = keycodeOf(symbols, std::strtoul(argv[1], nullptr, 0));
    if (key == 0) return 1;
    for (xcb_keycode_t m : modifiers) fake(c, XCB_KEY_PRESS, m);
    fake(c, XCB_KEY_PRESS, key);
    fake(c, XCB_KEY_RELEASE, key);
    for (auto it = modifiers.rbegin(); it != modifiers.rend(); ++it) fake(c, XCB_KEY_RELEASE, *it);
    free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr)); // a round trip: all of it has arrived
    xcb_key_symbols_free(symbols);
    xcb_disconnect(c);
    return 0;
}
