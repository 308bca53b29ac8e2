// The virtual-key table: Windows key codes as the hotkey tables store them,
// and the X keysym of the same key.
#include "platform/KeyMap.h"

#include <X11/keysym.h>
#include <algorithm>
#include <utility>

namespace kaptivus::platform {

namespace {

// Codes with no arithmetic relation to their keysym. Letters, digits, the
// keypad digits and the function keys are ranges (below).
constexpr std::pair<int, uint32_t> SingleKeys[] = {
    { 8, XK_BackSpace },
    { 9, XK_Tab },
    { 13, XK_Return },
    { 19, XK_Pause },
    { 27, XK_Escape },
    { 32, XK_space },
    { 33, XK_Prior },
    { 34, XK_Next },
    { 35, XK_End },
    { 36, XK_Home },
    { 37, XK_Left },
    { 38, XK_Up },
    { 39, XK_Right },
    { 40, XK_Down },
    { 44, XK_Print },
    { 45, XK_Insert },
    { 46, XK_Delete },
    { 106, XK_KP_Multiply },
    { 107, XK_KP_Add },
    { 108, XK_KP_Separator },
    { 109, XK_KP_Subtract },
    { 110, XK_KP_Decimal },
    { 111, XK_KP_Divide },
    { 145, XK_Scroll_Lock },
};

} // namespace

uint32_t keysymForVirtualKey(int vk)
{
    if (vk >= 'A' && vk <= 'Z') return static_cast<uint32_t>(XK_a + (vk - 'A'));
    if (vk >= '0' && vk <= '9') return static_cast<uint32_t>(XK_0 + (vk - '0'));
    if (vk >= 96 && vk <= 105) return static_cast<uint32_t>(XK_KP_0 + (vk - 96));
    if (vk >= 112 && vk <= 135) return static_cast<uint32_t>(XK_F1 + (vk - 112));
    const auto* it = std::find_if(
        std::begin(SingleKeys), std::end(SingleKeys), [vk](const auto& entry) { return entry.first == vk; });
    return it == std::end(SingleKeys) ? 0 : it->second;
}

uint16_t modifierMaskForFlags(int flags, const ModifierLayout& layout)
{
    uint16_t mask = 0;
    if (flags & HotkeyAlt) mask |= layout.alt;
    if (flags & HotkeyCtrl) mask |= ControlMask;
    if (flags & HotkeyShift) mask |= ShiftMask;
    if (flags & HotkeyWin) mask |= layout.super;
    return mask;
}

std::array<uint16_t, 4> modifierVariants(uint16_t mods, uint16_t numLockMask)
{
    return { mods, static_cast<uint16_t>(mods | LockMask), static_cast<uint16_t>(mods | numLockMask),
        static_cast<uint16_t>(mods | LockMask | numLockMask) };
}

} // namespace kaptivus::platform
