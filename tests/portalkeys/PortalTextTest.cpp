// What the program tells the portal and reads from it, without a desktop: the
// hotkey tables in the trigger notation, the request paths known before a
// request is sent, and the interfaces an introspection declares.
#include "dialogs/HotkeyLists.h"
#include "platform/portal/GlobalShortcuts.h"
#include "platform/portal/HostRegistry.h"

#include <gtest/gtest.h>
#include <set>

using namespace kaptivus::platform::portal;

TEST(PortalText, TriggersFollowTheXdgShortcutNotation)
{
    const struct {
        int key;
        int modifiers;
        const char* trigger;
    } cases[] = {
        { 44, 0, "Print" },
        { 44, 1, "ALT+Print" },
        { 65, 6, "CTRL+SHIFT+a" },
        { 44, 8, "LOGO+Print" },
        { 116, 7, "CTRL+ALT+SHIFT+F5" },
        { 96, 2, "CTRL+KP_0" },
        { 107, 0, "KP_Add" },
        { 33, 4, "SHIFT+Prior" },
        { 0, 0, "" },    // no key
        { 13, 0, "" },   // not one of the dialog's keys
        { 44, 16, "" },  // an unknown modifier flag
        { 44, -1, "" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(portalTrigger(c.key, c.modifiers), c.trigger) << c.key << " " << c.modifiers;
}

// Every key and modifier choice of the hotkey dialog can be told to the
// desktop, and no two choices read the same.
TEST(PortalText, EveryChoiceOfTheDialogHasItsOwnTrigger)
{
    std::set<std::string> seen;
    for (const auto& key : kaptivus::dialogs::KeyList) {
        if (key.virtualKey == 0) continue;
        for (const auto& modifier : kaptivus::dialogs::ModifierList) {
            const std::string trigger = portalTrigger(key.virtualKey, modifier.flags);
            EXPECT_FALSE(trigger.empty()) << key.text << " " << modifier.text;
            EXPECT_TRUE(seen.insert(trigger).second) << trigger;
        }
    }
}

TEST(PortalText, RequestPathIsKnownBeforeTheRequest)
{
    const struct {
        const char* sender;
        const char* token;
        const char* path;
    } cases[] = {
        { ":1.42", "kaptivus1", "/org/freedesktop/portal/desktop/request/1_42/kaptivus1" },
        { ":12.3456", "t", "/org/freedesktop/portal/desktop/request/12_3456/t" },
    };
    for (const auto& c : cases) EXPECT_EQ(requestPath(c.sender, c.token).toStdString(), c.path);
}

TEST(PortalText, InterfacesAreThoseOfTheTopNodeOnly)
{
    const struct {
        const char* name;
        const char* xml;
        QStringList interfaces;
    } cases[] = {
        { "portal with shortcuts",
            "<node><interface name=\"org.freedesktop.portal.Screenshot\"><method name=\"Screenshot\"/></interface>"
            "<interface name=\"org.freedesktop.portal.GlobalShortcuts\"/></node>",
            { "org.freedesktop.portal.Screenshot", "org.freedesktop.portal.GlobalShortcuts" } },
        { "a child node's interface is not the portal's",
            "<node><interface name=\"a.b\"/><node name=\"x\"><interface name=\"org.freedesktop.host.portal.Registry\"/>"
            "</node></node>",
            { "a.b" } },
        { "cut short", "<node><interface name=\"a.b\"/><interface name=", { "a.b" } },
        { "not XML", "\x01\x02", {} },
        { "empty", "", {} },
    };
    for (const auto& c : cases) EXPECT_EQ(declaredInterfaces(QString::fromUtf8(c.xml)), c.interfaces) << c.name;
}

// The desktop's own list settles a start only when it has every id wanted,
// whatever triggers the user gave them there.
TEST(PortalText, TheDesktopHoldsTheShortcutsOnlyWithEveryId)
{
    const QList<Shortcut> wanted { { "capture-101", "a", "Print" }, { "capture-102", "b", "" } };
    EXPECT_TRUE(holdsEvery({ { "capture-102", "", "F5" }, { "capture-101", "", "" }, { "x", "", "" } }, wanted));
    EXPECT_FALSE(holdsEvery({ { "capture-101", "", "Print" }, { "capture-1020", "", "" } }, wanted));
    EXPECT_FALSE(holdsEvery({}, wanted));
}
