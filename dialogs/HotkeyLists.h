// The hotkey dialog's fixed lists: the twelve actions with their captions and
// hints, the 58 keys with the virtual-key codes the tables store, the eight
// modifier combinations with their flags. Constants only: no Qt widgets.
#pragma once

#include <array>
#include <cstdint>

namespace kaptivus::dialogs {

inline constexpr int HotkeyCount = 12;
inline constexpr int FirstHotkeyId = 101;
inline constexpr int PrintScreenKey = 44;

struct HotkeyAction {
    const char* caption; // UTF-8, with the design's leading blank
    const char* hint;
};

struct KeyEntry {
    const char* text;
    int32_t virtualKey;
};

struct ModifierEntry {
    const char* text;
    int32_t flags;
};

extern const std::array<HotkeyAction, HotkeyCount> HotkeyActions;
extern const std::array<KeyEntry, 58> KeyList;
extern const std::array<ModifierEntry, 8> ModifierList;

// One of the agent's four hotkey tables, index = hotkey id - 101.
using HotkeyTable = std::array<int32_t, HotkeyCount>;

// The agent's hotkeys before the user sets any: Print Screen shows the
// desktop, Alt+Print Screen the active window; list positions to match.
inline constexpr HotkeyTable DefaultHotkeyKeys{PrintScreenKey, 0, 0, PrintScreenKey};
inline constexpr HotkeyTable DefaultHotkeyModifiers{0, 0, 0, 1};
inline constexpr HotkeyTable DefaultHotkeyKeyIndex{1, 0, 0, 1};
inline constexpr HotkeyTable DefaultHotkeyModifierIndex{0, 0, 0, 1};

// Whether two different actions share a key and its modifiers, compared by
// list position; actions without a key never conflict.
bool HasDuplicateHotkey(const HotkeyTable& keyIndex, const HotkeyTable& modifierIndex);

} // namespace kaptivus::dialogs
