// The key bindings a sway user adds so that the compositor starts the agent's
// captures: the hotkey tables' virtual-key codes and modifier flags as sway
// (xkb) names, one ready "bindsym" line per set hotkey. Pure: no Qt, no Wayland.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kaptivus::platform::wayland {

// sway's name of the key a virtual-key code stands for ("Print", "F7",
// "KP_Add", "a"), or "" when the code is 0 or not one of the dialog's keys.
std::string swayKeyName(int virtualKey);

// "Mod1+Ctrl+Shift+Print": the modifier flags (Alt 1, Ctrl 2, Shift 4, the
// Windows key 8) before the key name; "" when the key or a flag is unknown.
std::string swayCombination(int virtualKey, int modifiers);

struct SwayBindingLines {
    std::vector<std::string> lines;    // "bindsym Print exec /usr/bin/kaptivus2000 --capture 101"
    std::vector<std::string> problems; // hotkeys set to something sway cannot be told
};

// One line per hotkey whose key is set (index = hotkey id - 101), starting
// `program` with --capture and the hotkey's id.
SwayBindingLines swayBindings(const std::array<int32_t, 12>& keys, const std::array<int32_t, 12>& modifiers,
    std::string_view program);

} // namespace kaptivus::platform::wayland
