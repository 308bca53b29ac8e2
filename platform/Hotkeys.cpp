// Hotkeys as passive key grabs on the root window. A private connection keeps
// the grabs and their key presses away from Qt's own connection, whose event
// mask on the root window does not include key presses.
#include "platform/Hotkeys.h"

#include "platform/KeyMap.h"
#include "platform/XcbSupport_p.h"

#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>
#include <X11/keysym.h>
#include <algorithm>
#include <unistd.h>
#include <map>
#include <utility>
#include <xcb/xcb_keysyms.h>

namespace kaptivus::platform {

namespace {

struct Registration {
    int virtualKey = 0;
    int flags = 0;
    // What is grabbed now; empty when the key could not be grabbed.
    std::vector<xcb_keycode_t> keycodes;
    uint16_t mods = 0;
    HotkeyStatus status = HotkeyStatus::Unregistered;
};

struct Grab {
    xcb_keycode_t keycode;
    uint16_t mods;
};

} // namespace

struct HotkeyService::Impl {
    xcb::Connection connection;
    xcb_key_symbols_t* symbols = nullptr;
    ModifierLayout layout;
    std::map<int, Registration> registrations;
    std::unique_ptr<QSocketNotifier> notifier;
    // An unmapped window that lists the ids grabbed right now in the property
    // _KAPTIVUS_HOTKEYS, so that anyone (xprop, a test) can see what is active.
    xcb_window_t announcer = XCB_WINDOW_NONE;

    xcb_connection_t* c() const { return connection.get(); }
    void createAnnouncer();
    void publish();
    std::vector<Grab> grabsOf(const Registration& r) const;
    void readModifierLayout();
    std::vector<xcb_keycode_t> keycodesOf(uint32_t keysym) const;
    HotkeyStatus grab(int id, Registration& r);
    void ungrab(Registration& r);
    bool clashes(int id, const std::vector<xcb_keycode_t>& keycodes, uint16_t mods) const;
    bool regrabAll();
    int match(xcb_keycode_t keycode, uint16_t state) const;
};

std::vector<Grab> HotkeyService::Impl::grabsOf(const Registration& r) const
{
    auto variants = modifierVariants(r.mods, layout.numLock);
    std::sort(variants.begin(), variants.end());
    const auto end = std::unique(variants.begin(), variants.end());
    std::vector<Grab> grabs;
    for (xcb_keycode_t keycode : r.keycodes)
        for (auto it = variants.begin(); it != end; ++it)
            grabs.push_back(Grab { keycode, *it });
    return grabs;
}

// Finds which of Mod1..Mod5 carry NumLock, Alt and Super on this keyboard.
void HotkeyService::Impl::readModifierLayout()
{
    layout = ModifierLayout {};
    layout.numLock = 0;
    auto map = xcb::reply(c(), xcb_get_modifier_mapping_reply, xcb_get_modifier_mapping(c()));
    if (!map) return;
    const xcb_keycode_t* keycodes = xcb_get_modifier_mapping_keycodes(map.get());
    const int perModifier = map->keycodes_per_modifier;
    bool altFound = false;
    bool superFound = false;
    for (int mod = 3; mod < 8; ++mod) {
        for (int k = 0; k < perModifier; ++k) {
            const xcb_keycode_t keycode = keycodes[mod * perModifier + k];
            if (keycode == 0) continue;
            for (int col = 0; col < 4; ++col) {
                const xcb_keysym_t sym = xcb_key_symbols_get_keysym(symbols, keycode, col);
                const auto mask = static_cast<uint16_t>(1u << mod);
                if (sym == XK_Num_Lock && layout.numLock == 0) layout.numLock = mask;
                if ((sym == XK_Alt_L || sym == XK_Alt_R) && !altFound) {
                    layout.alt = mask;
                    altFound = true;
                }
                if ((sym == XK_Super_L || sym == XK_Super_R) && !superFound) {
                    layout.super = mask;
                    superFound = true;
                }
            }
        }
    }
}

std::vector<xcb_keycode_t> HotkeyService::Impl::keycodesOf(uint32_t keysym) const
{
    std::vector<xcb_keycode_t> result;
    xcb::Reply<xcb_keycode_t> list(xcb_key_symbols_get_keycode(symbols, keysym));
    if (!list) return result;
    for (const xcb_keycode_t* k = list.get(); *k != XCB_NO_SYMBOL; ++k)
        if (std::find(result.begin(), result.end(), *k) == result.end()) result.push_back(*k);
    return result;
}

// Grabs every keycode of the key with every lock variant; all or nothing.
HotkeyStatus HotkeyService::Impl::grab(int id, Registration& r)
{
    const uint32_t keysym = keysymForVirtualKey(r.virtualKey);
    r.keycodes = keysym ? keycodesOf(keysym) : std::vector<xcb_keycode_t> {};
    r.mods = modifierMaskForFlags(r.flags, layout);
    if (r.keycodes.empty()) return r.status = HotkeyStatus::NotOnKeyboard;
    if (clashes(id, r.keycodes, r.mods)) {
        r.keycodes.clear();
        return r.status = HotkeyStatus::HeldElsewhere;
    }
    const auto grabs = grabsOf(r);
    std::vector<xcb_void_cookie_t> cookies;
    for (const Grab& g : grabs)
        cookies.push_back(xcb_grab_key_checked(
            c(), 0, connection.root(), g.mods, g.keycode, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    bool ok = true;
    for (const auto& cookie : cookies)
        if (xcb::errorCode(c(), cookie) != 0) ok = false;
    if (!ok) ungrab(r);
    return r.status = ok ? HotkeyStatus::Grabbed : HotkeyStatus::HeldElsewhere;
}

// Releases only this client's grabs, then a round trip, so that whoever grabs
// the same key next finds it free.
void HotkeyService::Impl::ungrab(Registration& r)
{
    if (r.keycodes.empty()) return;
    for (const Grab& g : grabsOf(r))
        xcb_ungrab_key(c(), g.keycode, connection.root(), g.mods);
    r.keycodes.clear();
    connection.sync();
}

bool HotkeyService::Impl::clashes(int id, const std::vector<xcb_keycode_t>& keycodes, uint16_t mods) const
{
    for (const auto& [otherId, other] : registrations) {
        if (otherId == id || other.mods != mods) continue;
        for (xcb_keycode_t k : keycodes)
            if (std::find(other.keycodes.begin(), other.keycodes.end(), k) != other.keycodes.end()) return true;
    }
    return false;
}

// The keys may sit on other keycodes now, and a key missing before may exist:
// every registration is grabbed afresh. True when a status changed.
bool HotkeyService::Impl::regrabAll()
{
    for (auto& [id, r] : registrations)
        ungrab(r);
    readModifierLayout();
    bool changed = false;
    for (auto& [id, r] : registrations) {
        const HotkeyStatus before = r.status;
        changed |= grab(id, r) != before;
    }
    publish();
    return changed;
}

int HotkeyService::Impl::match(xcb_keycode_t keycode, uint16_t state) const
{
    const uint16_t mods = withoutLocks(state, layout.numLock);
    for (const auto& [id, r] : registrations)
        if (r.mods == mods && std::find(r.keycodes.begin(), r.keycodes.end(), keycode) != r.keycodes.end()) return id;
    return -1;
}

void HotkeyService::Impl::createAnnouncer()
{
    announcer = xcb_generate_id(c());
    const uint32_t overrideRedirect = 1;
    xcb_create_window(c(), XCB_COPY_FROM_PARENT, announcer, connection.root(), -1, -1, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_OVERRIDE_REDIRECT, &overrideRedirect);
    static constexpr char name[] = "Kaptivus hotkeys";
    xcb_change_property(c(), XCB_PROP_MODE_REPLACE, announcer, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                        sizeof name - 1, name);
    const uint32_t pid = static_cast<uint32_t>(getpid());
    xcb_change_property(c(), XCB_PROP_MODE_REPLACE, announcer, xcb::atom(c(), "_NET_WM_PID"), XCB_ATOM_CARDINAL, 32,
                        1, &pid);
    publish();
}

void HotkeyService::Impl::publish()
{
    if (announcer == XCB_WINDOW_NONE) return;
    std::vector<uint32_t> ids;
    for (const auto& [id, r] : registrations)
        if (r.status == HotkeyStatus::Grabbed) ids.push_back(static_cast<uint32_t>(id));
    xcb_change_property(c(), XCB_PROP_MODE_REPLACE, announcer, xcb::atom(c(), "_KAPTIVUS_HOTKEYS"),
                        XCB_ATOM_CARDINAL, 32, static_cast<uint32_t>(ids.size()), ids.data());
    xcb_flush(c());
}

HotkeyService::HotkeyService(QObject* parent)
    : QObject(parent)
    , m(std::make_unique<Impl>())
{
    if (!m->connection.isValid()) return;
    m->symbols = xcb_key_symbols_alloc(m->c());
    m->readModifierLayout();
    m->createAnnouncer();
    m->notifier = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(m->c()), QSocketNotifier::Read);
    connect(m->notifier.get(), &QSocketNotifier::activated, this, &HotkeyService::readEvents);
}

HotkeyService::~HotkeyService()
{
    m->notifier.reset();
    if (isConnected()) unregisterAll();
    if (m->symbols) xcb_key_symbols_free(m->symbols);
}

bool HotkeyService::isConnected() const
{
    return m->connection.isValid() && m->symbols;
}

bool HotkeyService::registerHotkey(int id, int virtualKey, int modifiers)
{
    unregisterHotkey(id);
    if (virtualKey == 0) return true;
    if (!isConnected()) return false;
    // Key presses that arrived while we waited for replies sit in xcb's queue
    // where the socket notifier cannot see them.
    QTimer::singleShot(0, this, &HotkeyService::readEvents);
    Registration r { virtualKey, modifiers, {}, 0, HotkeyStatus::Unregistered };
    const HotkeyStatus status = m->grab(id, r);
    m->registrations[id] = std::move(r);
    if (status == HotkeyStatus::Grabbed) m->publish();
    return status == HotkeyStatus::Grabbed;
}

HotkeyStatus HotkeyService::status(int id) const
{
    const auto it = m->registrations.find(id);
    return it == m->registrations.end() ? HotkeyStatus::Unregistered : it->second.status;
}

void HotkeyService::unregisterHotkey(int id)
{
    const auto it = m->registrations.find(id);
    if (it == m->registrations.end()) return;
    if (isConnected()) m->ungrab(it->second);
    m->registrations.erase(it);
    if (isConnected()) m->publish();
}

void HotkeyService::unregisterAll()
{
    while (!m->registrations.empty())
        unregisterHotkey(m->registrations.begin()->first);
}

void HotkeyService::readEvents()
{
    if (!m->connection.get()) return;
    if (xcb_connection_has_error(m->c())) {
        if (m->notifier) m->notifier->setEnabled(false);
        return;
    }
    QPointer<HotkeyService> self(this);
    // A layout change (setxkbmap) comes as a burst of notices: grab once after it.
    bool mappingChanged = false;
    while (xcb::Reply<xcb_generic_event_t> event { xcb_poll_for_event(m->c()) }) {
        const uint8_t type = event->response_type & 0x7F;
        if (type == XCB_MAPPING_NOTIFY) {
            auto* mapping = reinterpret_cast<xcb_mapping_notify_event_t*>(event.get());
            xcb_refresh_keyboard_mapping(m->symbols, mapping);
            if (mapping->request != XCB_MAPPING_POINTER) mappingChanged = true;
        } else if (type == XCB_KEY_PRESS) {
            const auto* press = reinterpret_cast<xcb_key_press_event_t*>(event.get());
            const int id = m->match(press->detail, press->state);
            if (id < 0) continue;
            emit hotkeyPressed(id);
            // A slot may run a modal loop that read further events, or delete us.
            if (!self) return;
        }
    }
    if (mappingChanged && m->regrabAll()) emit statusChanged();
}

} // namespace kaptivus::platform
