// Translation of the hotkey tables' Windows virtual-key codes and modifier
// flags into X keysyms and modifier masks. Pure arithmetic: no Qt, no X calls.
#pragma once

#include <array>
#include <cstdint>

namespace kaptivus::platform {

// Modifier flags as the hotkey tables store them.
enum HotkeyModifierFlag : int { HotkeyAlt = 1, HotkeyCtrl = 2, HotkeyShift = 4, HotkeyWin = 8 };

// X core modifier masks.
inline constexpr uint16_t ShiftMask = 0x0001;
inline constexpr uint16_t LockMask = 0x0002;
inline constexpr uint16_t ControlMask = 0x0004;
inline constexpr uint16_t Mod1Mask = 0x0008;
inline constexpr uint16_t Mod2Mask = 0x0010;
inline constexpr uint16_t Mod4Mask = 0x0040;

// The keysym a virtual-key code stands for (0 when the code is 0 or unknown).
// Letters give the lower-case keysym, the keypad codes the keypad keysyms
// (Num0 -> KP_0, which shares its key with KP_Insert).
uint32_t keysymForVirtualKey(int virtualKey);

// Which X modifiers carry Alt and the Windows key on this server
// (from the modifier mapping; Mod1 and Mod4 on nearly every desktop).
struct ModifierLayout {
    uint16_t alt = Mod1Mask;
    uint16_t super = Mod4Mask;
    uint16_t numLock = Mod2Mask;
};

// The X mask for a sum of modifier flags; unknown bits are ignored.
uint16_t modifierMaskForFlags(int flags, const ModifierLayout& layout = {});

// The four masks to grab so the hotkey fires whatever the lock keys' state:
// none, CapsLock, NumLock, both. With numLockMask 0 the NumLock variants repeat the others.
std::array<uint16_t, 4> modifierVariants(uint16_t mods, uint16_t numLockMask);

// A key press's state with the lock bits taken out, for matching against a grab.
inline uint16_t withoutLocks(uint16_t state, uint16_t numLockMask)
{
    return static_cast<uint16_t>(state & ~(LockMask | numLockMask) & 0xFF);
}

} // namespace kaptivus::platform
