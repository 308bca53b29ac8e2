// X helpers for tests, on a connection of their own (a separate client from
// both the program under test and Qt).
#include "XTest.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <X11/keysym.h>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>

namespace kaptivus::test {

namespace {

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <class T> using Reply = std::unique_ptr<T, FreeDeleter>;

template <class Fn, class Cookie> auto reply(xcb_connection_t* c, Fn fn, Cookie cookie)
{
    xcb_generic_error_t* error = nullptr;
    auto* r = fn(c, cookie, &error);
    std::free(error);
    return Reply<std::remove_pointer_t<decltype(r)>>(r);
}

struct Display {
    xcb_connection_t* c = nullptr;
    xcb_screen_t* screen = nullptr;
    xcb_key_symbols_t* symbols = nullptr;

    Display()
    {
        c = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(c)) return;
        screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
        symbols = xcb_key_symbols_alloc(c);
    }
    bool valid() const { return screen && !xcb_connection_has_error(c); }
    void drain() const
    {
        while (xcb_generic_event_t* e = xcb_poll_for_event(c))
            std::free(e);
    }
};

Display& display()
{
    static Display d;
    d.drain();
    return d;
}

xcb_connection_t* conn()
{
    return display().c;
}

xcb_atom_t atom(const std::string& name)
{
    auto r = reply(
        conn(), xcb_intern_atom_reply, xcb_intern_atom(conn(), 0, static_cast<uint16_t>(name.size()), name.c_str()));
    return r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
}

uint16_t modifierMaskOf(uint32_t keysymWanted)
{
    auto map = reply(conn(), xcb_get_modifier_mapping_reply, xcb_get_modifier_mapping(conn()));
    if (!map) return 0;
    const xcb_keycode_t* keycodes = xcb_get_modifier_mapping_keycodes(map.get());
    const int per = map->keycodes_per_modifier;
    for (int mod = 0; mod < 8; ++mod)
        for (int k = 0; k < per; ++k)
            for (int col = 0; col < 4; ++col)
                if (keycodes[mod * per + k]
                    && xcb_key_symbols_get_keysym(display().symbols, keycodes[mod * per + k], col) == keysymWanted)
                    return static_cast<uint16_t>(1u << mod);
    return 0;
}

uint16_t pointerState()
{
    auto r = reply(conn(), xcb_query_pointer_reply, xcb_query_pointer(conn(), rootWindow()));
    return r ? r->mask : 0;
}

void fake(uint8_t type, uint8_t detail, int x = 0, int y = 0)
{
    xcb_test_fake_input(conn(), type, detail, XCB_CURRENT_TIME, type == XCB_MOTION_NOTIFY ? rootWindow() : XCB_NONE,
        static_cast<int16_t>(x), static_cast<int16_t>(y), 0);
}

uint32_t modifierKeysym(unsigned flag)
{
    switch (flag) {
    case Alt:
        return XK_Alt_L;
    case Ctrl:
        return XK_Control_L;
    case Shift:
        return XK_Shift_L;
    default:
        return 0;
    }
}

// 0xRRGGBB <-> pixel for a TrueColor visual, by its channel masks.
struct Channels {
    uint32_t masks[3] = { 0xff0000, 0x00ff00, 0x0000ff };
    uint32_t toPixel(uint32_t rgb) const
    {
        uint32_t pixel = 0;
        for (int i = 0; i < 3; ++i) {
            const uint32_t value = (rgb >> (16 - 8 * i)) & 0xff;
            const int shift = __builtin_ctz(masks[i]);
            const uint32_t top = masks[i] >> shift;
            pixel |= ((value * top + 127) / 255) << shift;
        }
        return pixel;
    }
    uint32_t toRgb(uint32_t pixel) const
    {
        uint32_t rgb = 0;
        for (int i = 0; i < 3; ++i) {
            const int shift = __builtin_ctz(masks[i]);
            const uint32_t top = masks[i] >> shift;
            const uint32_t value = ((pixel & masks[i]) >> shift) * 255 / top;
            rgb |= value << (16 - 8 * i);
        }
        return rgb;
    }
};

Channels rootChannels()
{
    Channels ch;
    const xcb_screen_t* screen = display().screen;
    for (auto d = xcb_screen_allowed_depths_iterator(screen); d.rem > 0; xcb_depth_next(&d))
        for (auto v = xcb_depth_visuals_iterator(d.data); v.rem > 0; xcb_visualtype_next(&v))
            if (v.data->visual_id == screen->root_visual && v.data->red_mask && v.data->green_mask
                && v.data->blue_mask) {
                ch.masks[0] = v.data->red_mask;
                ch.masks[1] = v.data->green_mask;
                ch.masks[2] = v.data->blue_mask;
            }
    return ch;
}

// A pixmap of the root depth holding the picture (32-bit pixels, as the X
// servers tests run on use for depth 24), sent in strips below the request limit.
xcb_pixmap_t makePixmap(int width, int height, const ColourAt& colourAt)
{
    xcb_connection_t* c = conn();
    const xcb_screen_t* screen = display().screen;
    const xcb_pixmap_t pixmap = xcb_generate_id(c);
    xcb_create_pixmap(
        c, screen->root_depth, pixmap, screen->root, static_cast<uint16_t>(width), static_cast<uint16_t>(height));
    const xcb_gcontext_t gc = xcb_generate_id(c);
    xcb_create_gc(c, gc, pixmap, 0, nullptr);
    const Channels ch = rootChannels();
    const int rowsPerStrip = std::max(1, 65536 / width);
    for (int y0 = 0; y0 < height; y0 += rowsPerStrip) {
        const int rows = std::min(rowsPerStrip, height - y0);
        std::vector<uint32_t> data(static_cast<size_t>(width) * static_cast<size_t>(rows));
        for (int y = 0; y < rows; ++y)
            for (int x = 0; x < width; ++x)
                data[static_cast<size_t>(y * width + x)] = ch.toPixel(colourAt(x, y0 + y));
        xcb_put_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, gc, static_cast<uint16_t>(width),
            static_cast<uint16_t>(rows), 0, static_cast<int16_t>(y0), 0, screen->root_depth,
            static_cast<uint32_t>(data.size() * 4), reinterpret_cast<const uint8_t*>(data.data()));
    }
    xcb_free_gc(c, gc);
    return pixmap;
}

void setTitle(xcb_window_t w, const std::string& title)
{
    xcb_change_property(conn(), XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
        static_cast<uint32_t>(title.size()), title.data());
    xcb_change_property(conn(), XCB_PROP_MODE_REPLACE, w, atom("_NET_WM_NAME"), atom("UTF8_STRING"), 8,
        static_cast<uint32_t>(title.size()), title.data());
    const char wmClass[] = "kaptivus-test\0KaptivusTest";
    xcb_change_property(
        conn(), XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8, sizeof(wmClass), wmClass);
}

Window searchTitle(xcb_window_t w, const std::string& title, int depth)
{
    if (stringProperty(w, "_NET_WM_NAME") == title || stringProperty(w, "WM_NAME") == title) return w;
    if (depth > 32) return 0;
    auto tree = reply(conn(), xcb_query_tree_reply, xcb_query_tree(conn(), w));
    if (!tree) return 0;
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i)
        if (Window found = searchTitle(children[i], title, depth + 1)) return found;
    return 0;
}

} // namespace

bool waitUntil(const std::function<bool()>& predicate, std::chrono::milliseconds timeout)
{
    // Most conditions hold within a few milliseconds, so the first looks come
    // fast; a long wait looks less often, as each look may cost the test and
    // the X server dozens of round trips while other tests run beside it.
    constexpr int kLongestSliceMs = 20;
    int sliceMs = 1;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!predicate()) {
        if (std::chrono::steady_clock::now() >= deadline) return predicate();
        if (QCoreApplication::instance()) {
            QEventLoop loop;
            QTimer::singleShot(sliceMs, Qt::PreciseTimer, &loop, &QEventLoop::quit);
            loop.exec();
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(sliceMs));
        }
        sliceMs = std::min(2 * sliceMs, kLongestSliceMs);
    }
    return true;
}

bool haveDisplay()
{
    return display().valid();
}

void sync()
{
    if (!haveDisplay()) return;
    reply(conn(), xcb_get_input_focus_reply, xcb_get_input_focus(conn()));
}

std::vector<uint8_t> keycodesOf(uint32_t keysym)
{
    std::vector<uint8_t> result;
    if (!haveDisplay()) return result;
    Reply<xcb_keycode_t> list(xcb_key_symbols_get_keycode(display().symbols, keysym));
    for (const xcb_keycode_t* k = list.get(); k && *k != XCB_NO_SYMBOL; ++k)
        if (std::find(result.begin(), result.end(), *k) == result.end()) result.push_back(*k);
    return result;
}

void refreshKeyboardMapping()
{
    if (!haveDisplay()) return;
    xcb_key_symbols_free(display().symbols);
    display().symbols = xcb_key_symbols_alloc(conn());
}

// While the input focus is None (the focused window has just gone and the
// window manager has not yet given the focus to another) the server throws key
// presses away, before any passive grab on the root window is looked at: a
// hotkey pressed then never reaches its owner. A press waits for a focus.
bool waitForKeyboardFocus()
{
    // A focus still naming a window that has just been unmapped is about to
    // revert: a press now may go to the window that is leaving.
    return waitUntil(
        [] {
            const Window focus = inputFocus();
            return focus != XCB_NONE && (focus == 1 || focus == rootWindow() || isViewable(focus));
        },
        std::chrono::milliseconds(5000));
}

void useTestKeyboard()
{
    if (!haveDisplay()) return;
    // A key or button left down by an earlier test (one that stopped between
    // its press and its release) would turn every later hotkey into another
    // combination: each test starts with nothing held.
    if (auto keys = reply(conn(), xcb_query_keymap_reply, xcb_query_keymap(conn()))) {
        for (int code = 8; code < 256; ++code)
            if (keys->keys[code / 8] & (1u << (code % 8))) fake(XCB_KEY_RELEASE, static_cast<uint8_t>(code));
    }
    if (auto pointer = reply(conn(), xcb_query_pointer_reply, xcb_query_pointer(conn(), rootWindow()))) {
        for (int button = 1; button <= 5; ++button)
            if (pointer->mask & (XCB_BUTTON_MASK_1 << (button - 1))) fake(XCB_BUTTON_RELEASE, static_cast<uint8_t>(button));
    }
    const uint8_t keycode = unusedKeycode();
    const uint8_t spare = keycode ? keycode : keycodesOf(XK_Shift_L).at(0);
    fake(XCB_KEY_PRESS, spare);
    fake(XCB_KEY_RELEASE, spare);
    sync();
}

void pressKeycode(uint8_t keycode)
{
    waitForKeyboardFocus();
    fake(XCB_KEY_PRESS, keycode);
    fake(XCB_KEY_RELEASE, keycode);
    sync();
}

uint8_t unusedKeycode()
{
    if (!haveDisplay()) return 0;
    const xcb_setup_t* setup = xcb_get_setup(conn());
    const int count = setup->max_keycode - setup->min_keycode + 1;
    auto map = reply(conn(), xcb_get_keyboard_mapping_reply,
        xcb_get_keyboard_mapping(conn(), setup->min_keycode, static_cast<uint8_t>(count)));
    if (!map) return 0;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(map.get());
    const int per = map->keysyms_per_keycode;
    // From the top: the low codes are the ones real keyboards use.
    for (int i = count - 1; i >= 0; --i) {
        if (std::all_of(syms + i * per, syms + (i + 1) * per, [](xcb_keysym_t s) { return s == 0; }))
            return static_cast<uint8_t>(setup->min_keycode + i);
    }
    return 0;
}

bool setKeycodeKeysym(uint8_t keycode, uint32_t keysym)
{
    if (!haveDisplay()) return false;
    const xcb_keysym_t syms[2] = { keysym, keysym };
    Reply<xcb_generic_error_t> error(
        xcb_request_check(conn(), xcb_change_keyboard_mapping_checked(conn(), 1, keycode, 2, syms)));
    // The cached mapping is stale now.
    xcb_key_symbols_free(display().symbols);
    display().symbols = xcb_key_symbols_alloc(conn());
    return !error;
}

bool keyDown(uint32_t keysym)
{
    const auto codes = keycodesOf(keysym);
    if (codes.empty() || !waitForKeyboardFocus()) return false;
    fake(XCB_KEY_PRESS, codes.front());
    sync();
    return true;
}

bool keyUp(uint32_t keysym)
{
    const auto codes = keycodesOf(keysym);
    if (codes.empty()) return false;
    fake(XCB_KEY_RELEASE, codes.front());
    sync();
    return true;
}

bool pressKey(uint32_t keysym, unsigned modifiers)
{
    const auto codes = keycodesOf(keysym);
    if (codes.empty() || !waitForKeyboardFocus()) return false;
    const unsigned order[] = { Ctrl, Alt, Shift };
    for (unsigned flag : order)
        if (modifiers & flag) fake(XCB_KEY_PRESS, keycodesOf(modifierKeysym(flag)).at(0));
    fake(XCB_KEY_PRESS, codes.front());
    fake(XCB_KEY_RELEASE, codes.front());
    for (unsigned flag : order)
        if (modifiers & flag) fake(XCB_KEY_RELEASE, keycodesOf(modifierKeysym(flag)).at(0));
    sync();
    return true;
}

bool numLockOn()
{
    return haveDisplay() && (pointerState() & modifierMaskOf(XK_Num_Lock)) != 0;
}
bool capsLockOn()
{
    return haveDisplay() && (pointerState() & XCB_MOD_MASK_LOCK) != 0;
}

bool setNumLock(bool on)
{
    if (numLockOn() != on) pressKey(XK_Num_Lock);
    return waitUntil([on] { return numLockOn() == on; }, std::chrono::milliseconds(2000));
}

bool setCapsLock(bool on)
{
    if (capsLockOn() != on) pressKey(XK_Caps_Lock);
    return waitUntil([on] { return capsLockOn() == on; }, std::chrono::milliseconds(2000));
}

void movePointer(int x, int y)
{
    fake(XCB_MOTION_NOTIFY, 0, x, y);
    sync();
}

Window inputFocus()
{
    auto r = reply(conn(), xcb_get_input_focus_reply, xcb_get_input_focus(conn()));
    return r ? r->focus : 0;
}

bool pointerGrabbedElsewhere()
{
    auto r = reply(conn(), xcb_grab_pointer_reply,
        xcb_grab_pointer(conn(), 0, rootWindow(), 0, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC, XCB_NONE, XCB_NONE,
            XCB_CURRENT_TIME));
    if (!r) return false;
    if (r->status == XCB_GRAB_STATUS_SUCCESS) {
        xcb_ungrab_pointer(conn(), XCB_CURRENT_TIME);
        sync();
        return false;
    }
    return r->status == XCB_GRAB_STATUS_ALREADY_GRABBED;
}

bool keyboardGrabbedElsewhere()
{
    auto r = reply(conn(), xcb_grab_keyboard_reply,
        xcb_grab_keyboard(conn(), 0, rootWindow(), XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    if (!r) return false;
    if (r->status == XCB_GRAB_STATUS_SUCCESS) {
        xcb_ungrab_keyboard(conn(), XCB_CURRENT_TIME);
        sync();
        return false;
    }
    return r->status == XCB_GRAB_STATUS_ALREADY_GRABBED;
}

void buttonDown(int button)
{
    fake(XCB_BUTTON_PRESS, static_cast<uint8_t>(button));
    sync();
}

void buttonUp(int button)
{
    fake(XCB_BUTTON_RELEASE, static_cast<uint8_t>(button));
    sync();
}

void clickButton(int button)
{
    buttonDown(button);
    buttonUp(button);
}

Window rootWindow()
{
    return display().screen ? display().screen->root : 0;
}

Window activeWindow()
{
    return windowProperty(rootWindow(), "_NET_ACTIVE_WINDOW").value_or(0);
}

Window findWindowByTitle(const std::string& title)
{
    return haveDisplay() ? searchTitle(rootWindow(), title, 0) : 0;
}

Window waitForWindowByTitle(const std::string& title, std::chrono::milliseconds timeout)
{
    Window found = 0;
    waitUntil([&] { return (found = findWindowByTitle(title)) != 0; }, timeout);
    return found;
}

Window selectionOwner(const std::string& selection)
{
    if (!haveDisplay()) return 0;
    auto r = reply(conn(), xcb_get_selection_owner_reply, xcb_get_selection_owner(conn(), atom(selection)));
    return r ? r->owner : 0;
}

bool clearSelection(const std::string& selection)
{
    if (!haveDisplay()) return false;
    xcb_set_selection_owner(conn(), XCB_NONE, atom(selection), XCB_CURRENT_TIME);
    sync();
    return selectionOwner(selection) == XCB_NONE;
}

Window parentOf(Window window)
{
    auto tree = reply(conn(), xcb_query_tree_reply, xcb_query_tree(conn(), window));
    return tree ? tree->parent : 0;
}

std::vector<Window> childrenOf(Window window)
{
    auto tree = reply(conn(), xcb_query_tree_reply, xcb_query_tree(conn(), window));
    if (!tree) return {};
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    return std::vector<Window>(children, children + xcb_query_tree_children_length(tree.get()));
}

bool windowExists(Window window)
{
    return reply(conn(), xcb_get_window_attributes_reply, xcb_get_window_attributes(conn(), window)) != nullptr;
}

bool isViewable(Window window)
{
    auto a = reply(conn(), xcb_get_window_attributes_reply, xcb_get_window_attributes(conn(), window));
    return a && a->map_state == XCB_MAP_STATE_VIEWABLE;
}

std::string stringProperty(Window window, const std::string& name)
{
    auto r = reply(conn(), xcb_get_property_reply,
        xcb_get_property(conn(), 0, window, atom(name), XCB_GET_PROPERTY_TYPE_ANY, 0, 4096));
    if (!r || r->format != 8) return {};
    return std::string(static_cast<const char*>(xcb_get_property_value(r.get())),
        static_cast<size_t>(xcb_get_property_value_length(r.get())));
}

std::vector<uint32_t> cardinalProperty(Window window, const std::string& name)
{
    auto r = reply(conn(), xcb_get_property_reply,
        xcb_get_property(conn(), 0, window, atom(name), XCB_GET_PROPERTY_TYPE_ANY, 0, 1024));
    if (!r || r->format != 32) return {};
    const auto* v = static_cast<const uint32_t*>(xcb_get_property_value(r.get()));
    return std::vector<uint32_t>(v, v + xcb_get_property_value_length(r.get()) / 4);
}

std::optional<Window> windowProperty(Window window, const std::string& name)
{
    const auto values = cardinalProperty(window, name);
    if (values.empty()) return std::nullopt;
    return values.front();
}

Rect windowRootGeometry(Window window)
{
    auto g = reply(conn(), xcb_get_geometry_reply, xcb_get_geometry(conn(), window));
    auto t
        = reply(conn(), xcb_translate_coordinates_reply, xcb_translate_coordinates(conn(), window, rootWindow(), 0, 0));
    if (!g || !t) return {};
    return Rect { t->dst_x, t->dst_y, g->width, g->height };
}

Rect windowBorderBox(Window window)
{
    auto g = reply(conn(), xcb_get_geometry_reply, xcb_get_geometry(conn(), window));
    const Rect inside = windowRootGeometry(window);
    if (!g || inside.width == 0) return {};
    const int b = g->border_width;
    return Rect { inside.left - b, inside.top - b, inside.width + 2 * b, inside.height + 2 * b };
}

Rect windowFrameBox(Window window)
{
    Window outer = window;
    for (Window parent = parentOf(outer); parent != 0 && parent != rootWindow(); parent = parentOf(outer))
        outer = parent;
    return windowBorderBox(outer);
}

void setMapped(Window window, bool mapped)
{
    if (mapped) xcb_map_window(conn(), window);
    else xcb_unmap_window(conn(), window);
    sync();
}

Rect screenSize()
{
    const xcb_screen_t* s = display().screen;
    return s ? Rect { 0, 0, s->width_in_pixels, s->height_in_pixels } : Rect {};
}

std::vector<uint32_t> readScreen(const Rect& rect)
{
    std::vector<uint32_t> result;
    if (!haveDisplay() || rect.width <= 0 || rect.height <= 0) return result;
    auto r = reply(conn(), xcb_get_image_reply,
        xcb_get_image(conn(), XCB_IMAGE_FORMAT_Z_PIXMAP, rootWindow(), static_cast<int16_t>(rect.left),
            static_cast<int16_t>(rect.top), static_cast<uint16_t>(rect.width), static_cast<uint16_t>(rect.height),
            ~0u));
    const size_t count = static_cast<size_t>(rect.width) * static_cast<size_t>(rect.height);
    if (!r || static_cast<size_t>(xcb_get_image_data_length(r.get())) < count * 4) return result;
    const auto* pixels = reinterpret_cast<const uint32_t*>(xcb_get_image_data(r.get()));
    const Channels ch = rootChannels();
    result.reserve(count);
    for (size_t i = 0; i < count; ++i)
        result.push_back(ch.toRgb(pixels[i]));
    return result;
}

uint32_t screenPixel(int x, int y)
{
    const auto p = readScreen(Rect { x, y, 1, 1 });
    return p.empty() ? 0 : p.front();
}

PictureWindow::PictureWindow(const Rect& rect, const ColourAt& colourAt)
{
    if (!haveDisplay() || rect.width <= 0 || rect.height <= 0) return;
    xcb_connection_t* c = conn();
    m_pixmap = makePixmap(rect.width, rect.height, colourAt);
    m_window = xcb_generate_id(c);
    const uint32_t values[] = { m_pixmap, 1 };
    xcb_create_window(c, XCB_COPY_FROM_PARENT, m_window, rootWindow(), static_cast<int16_t>(rect.left),
        static_cast<int16_t>(rect.top), static_cast<uint16_t>(rect.width), static_cast<uint16_t>(rect.height), 0,
        XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, XCB_CW_BACK_PIXMAP | XCB_CW_OVERRIDE_REDIRECT, values);
    xcb_map_window(c, m_window);
    // The server paints the background while it maps the window.
    sync();
}

PictureWindow::~PictureWindow()
{
    if (!m_window) return;
    xcb_destroy_window(conn(), m_window);
    xcb_free_pixmap(conn(), m_pixmap);
    sync();
}

void scribbleOnScreen(const Rect& rect, uint32_t colour)
{
    if (!haveDisplay()) return;
    xcb_connection_t* c = conn();
    const xcb_gcontext_t gc = xcb_generate_id(c);
    const uint32_t values[] = { rootChannels().toPixel(colour), XCB_SUBWINDOW_MODE_INCLUDE_INFERIORS };
    xcb_create_gc(c, gc, rootWindow(), XCB_GC_FOREGROUND | XCB_GC_SUBWINDOW_MODE, values);
    const xcb_rectangle_t r { static_cast<int16_t>(rect.left), static_cast<int16_t>(rect.top),
        static_cast<uint16_t>(rect.width), static_cast<uint16_t>(rect.height) };
    xcb_poly_fill_rectangle(c, rootWindow(), gc, 1, &r);
    xcb_free_gc(c, gc);
    sync();
}

void putPictureOnRoot(int width, int height, const ColourAt& colourAt)
{
    if (!haveDisplay() || width <= 0 || height <= 0) return;
    const xcb_pixmap_t pixmap = makePixmap(width, height, colourAt);
    const uint32_t values[] = { pixmap };
    xcb_change_window_attributes(conn(), rootWindow(), XCB_CW_BACK_PIXMAP, values);
    xcb_clear_area(conn(), 0, rootWindow(), 0, 0, 0, 0);
    xcb_free_pixmap(conn(), pixmap);
    sync();
}

TestWindow::TestWindow(const std::string& title, const Rect& rect, uint32_t colour)
{
    if (!haveDisplay()) return;
    xcb_connection_t* c = conn();
    m_window = xcb_generate_id(c);
    const uint32_t values[] = { rootChannels().toPixel(colour) };
    xcb_create_window(c, XCB_COPY_FROM_PARENT, m_window, rootWindow(), static_cast<int16_t>(rect.left),
        static_cast<int16_t>(rect.top), static_cast<uint16_t>(rect.width), static_cast<uint16_t>(rect.height), 0,
        XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, XCB_CW_BACK_PIXEL, values);
    setTitle(m_window, title);
    // Ask the window manager to keep the given position.
    uint32_t hints[18] = {};
    hints[0] = 1 | 2 | 4 | 8; // USPosition, USSize, PPosition, PSize
    hints[1] = static_cast<uint32_t>(rect.left);
    hints[2] = static_cast<uint32_t>(rect.top);
    hints[3] = static_cast<uint32_t>(rect.width);
    hints[4] = static_cast<uint32_t>(rect.height);
    xcb_change_property(
        c, XCB_PROP_MODE_REPLACE, m_window, XCB_ATOM_WM_NORMAL_HINTS, XCB_ATOM_WM_SIZE_HINTS, 32, 18, hints);
    xcb_map_window(c, m_window);
    sync();
}

TestWindow::~TestWindow()
{
    if (!m_window) return;
    xcb_destroy_window(conn(), m_window);
    sync();
}

bool TestWindow::waitForManaged(std::chrono::milliseconds timeout)
{
    const Window w = m_window;
    return waitUntil(
        [w] { return parentOf(w) != rootWindow() && !cardinalProperty(w, "WM_STATE").empty() && isViewable(w); },
        timeout);
}

bool TestWindow::activate(std::chrono::milliseconds timeout)
{
    xcb_client_message_event_t event {};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = m_window;
    event.type = atom("_NET_ACTIVE_WINDOW");
    event.data.data32[0] = 2; // from a pager: honoured without focus-stealing checks
    event.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(conn(), 0, rootWindow(), XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
        reinterpret_cast<const char*>(&event));
    sync();
    const Window w = m_window;
    return waitUntil([w] { return activeWindow() == w; }, timeout);
}

Window TestWindow::addChild(const Rect& rect, uint32_t colour)
{
    xcb_connection_t* c = conn();
    const xcb_window_t child = xcb_generate_id(c);
    const uint32_t values[] = { rootChannels().toPixel(colour) };
    xcb_create_window(c, XCB_COPY_FROM_PARENT, child, m_window, static_cast<int16_t>(rect.left),
        static_cast<int16_t>(rect.top), static_cast<uint16_t>(rect.width), static_cast<uint16_t>(rect.height), 0,
        XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, XCB_CW_BACK_PIXEL, values);
    xcb_map_window(c, child);
    sync();
    return child;
}

struct ForeignKeyGrab::Connection {
    xcb_connection_t* c = nullptr;
};

ForeignKeyGrab::ForeignKeyGrab(uint32_t keysym, unsigned modifiers)
{
    m_connection = new Connection { xcb_connect(nullptr, nullptr) };
    xcb_connection_t* c = m_connection->c;
    if (xcb_connection_has_error(c)) return;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    uint16_t mask = 0;
    if (modifiers & Alt) mask |= modifierMaskOf(XK_Alt_L);
    if (modifiers & Ctrl) mask |= XCB_MOD_MASK_CONTROL;
    if (modifiers & Shift) mask |= XCB_MOD_MASK_SHIFT;
    m_grabbed = true;
    for (uint8_t keycode : keycodesOf(keysym)) {
        Reply<xcb_generic_error_t> error(xcb_request_check(
            c, xcb_grab_key_checked(c, 0, root, mask, keycode, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC)));
        if (error) m_grabbed = false;
    }
}

ForeignKeyGrab::~ForeignKeyGrab()
{
    if (m_connection->c) xcb_disconnect(m_connection->c);
    delete m_connection;
}

int runProgram(const std::vector<std::string>& argv)
{
    if (argv.empty()) return -1;
    const pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        std::vector<char*> args;
        for (const auto& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace kaptivus::test
