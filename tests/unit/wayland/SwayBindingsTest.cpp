// The hotkey tables as sway key bindings: every kind of key and modifier of
// the hotkey dialog in one table, and the lines made from whole tables.
#include "platform/wayland/SwayBindings.h"

#include <gtest/gtest.h>

namespace kaptivus::platform::wayland {
namespace {

TEST(SwayBindings, KeyAndModifiersGiveSwayNames)
{
    const struct {
        int key;
        int modifiers;
        const char* combination;
    } cases[] = {
        {44, 0, "Print"},
        {44, 1, "Mod1+Print"},
        {112, 0, "F1"},
        {118, 2, "Ctrl+F7"},
        {123, 4, "Shift+F12"},
        {96, 0, "KP_0"},
        {105, 3, "Mod1+Ctrl+KP_9"},
        {65, 5, "Mod1+Shift+a"},
        {90, 7, "Mod1+Ctrl+Shift+z"},
        {33, 6, "Ctrl+Shift+Prior"},
        {34, 0, "Next"},
        {35, 0, "End"},
        {36, 0, "Home"},
        {106, 0, "KP_Multiply"},
        {107, 0, "KP_Add"},
        {109, 0, "KP_Subtract"},
        {111, 0, "KP_Divide"},
        {44, 8, "Mod4+Print"},
        // No name: no key, codes outside the dialog's list, flags that mean nothing.
        {0, 0, ""},
        {64, 0, ""},
        {91, 0, ""},
        {108, 0, ""},
        {124, 0, ""},
        {-44, 0, ""},
        {44, 16, ""},
        {44, -1, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.key) + " + " + std::to_string(c.modifiers));
        EXPECT_EQ(swayCombination(c.key, c.modifiers), c.combination);
    }
}

TEST(SwayBindings, OneLinePerSetHotkeyWithTheProgramAsOneWord)
{
    std::array<int32_t, 12> keys {};
    std::array<int32_t, 12> modifiers {};
    keys[0] = 44;
    keys[3] = 44;
    modifiers[3] = 1;
    keys[8] = 118;
    modifiers[8] = 6;
    keys[11] = 1000; // written into the file by hand: reported, no line
    const auto plain = swayBindings(keys, modifiers, "/usr/bin/kaptivus2000");
    EXPECT_EQ(plain.lines, (std::vector<std::string> {"bindsym Print exec /usr/bin/kaptivus2000 --capture 101",
                               "bindsym Mod1+Print exec /usr/bin/kaptivus2000 --capture 104",
                               "bindsym Ctrl+Shift+F7 exec /usr/bin/kaptivus2000 --capture 109"}));
    ASSERT_EQ(plain.problems.size(), 1u);
    EXPECT_NE(plain.problems[0].find("hotkey 112"), std::string::npos) << plain.problems[0];

    const auto quoted = swayBindings(keys, modifiers, "/opt/my tools/it's/kaptivus2000");
    EXPECT_EQ(quoted.lines[0], "bindsym Print exec '/opt/my tools/it'\\''s/kaptivus2000' --capture 101");

    const auto none = swayBindings({}, {}, "/usr/bin/kaptivus2000");
    EXPECT_TRUE(none.lines.empty());
    EXPECT_TRUE(none.problems.empty());
}

} // namespace
} // namespace kaptivus::platform::wayland
