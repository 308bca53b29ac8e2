// The virtual-key and modifier translation the hotkey grabs are built from.
#include "platform/KeyMap.h"

#include <X11/keysym.h>
#include <algorithm>
#include <gtest/gtest.h>
#include <set>
#include <vector>

using namespace kaptivus::platform;

namespace {

// The codes the hotkey dialog's key list stores, in list order (without "Aucun").
std::vector<int> dialogKeyCodes()
{
    std::vector<int> codes { 44 };
    for (int position = 2; position <= 13; ++position)
        codes.push_back(position + 110);
    for (int position = 14; position <= 23; ++position)
        codes.push_back(position + 82);
    for (int position = 24; position <= 49; ++position)
        codes.push_back(position + 41);
    for (int code : { 33, 34, 35, 36, 106, 107, 109, 111 })
        codes.push_back(code);
    return codes;
}

} // namespace

TEST(KeyMap, EveryKeyOfTheDialogHasItsOwnKeysym)
{
    const auto codes = dialogKeyCodes();
    ASSERT_EQ(codes.size(), 57u);
    std::set<uint32_t> seen;
    for (int code : codes) {
        const uint32_t sym = keysymForVirtualKey(code);
        EXPECT_NE(sym, 0u) << "virtual key " << code;
        seen.insert(sym);
    }
    EXPECT_EQ(seen.size(), codes.size());
}

TEST(KeyMap, NamedKeysGiveTheKeysOfTheSameName)
{
    EXPECT_EQ(keysymForVirtualKey(44), uint32_t(XK_Print));
    EXPECT_EQ(keysymForVirtualKey(112), uint32_t(XK_F1));
    EXPECT_EQ(keysymForVirtualKey(123), uint32_t(XK_F12));
    EXPECT_EQ(keysymForVirtualKey(96), uint32_t(XK_KP_0));
    EXPECT_EQ(keysymForVirtualKey(105), uint32_t(XK_KP_9));
    // Letter keys carry the lower-case keysym in their first column.
    EXPECT_EQ(keysymForVirtualKey('A'), uint32_t(XK_a));
    EXPECT_EQ(keysymForVirtualKey('Z'), uint32_t(XK_z));
    EXPECT_EQ(keysymForVirtualKey(33), uint32_t(XK_Prior));
    EXPECT_EQ(keysymForVirtualKey(34), uint32_t(XK_Next));
    EXPECT_EQ(keysymForVirtualKey(35), uint32_t(XK_End));
    EXPECT_EQ(keysymForVirtualKey(36), uint32_t(XK_Home));
    // The operators are the keypad's, not the main keyboard's.
    EXPECT_EQ(keysymForVirtualKey(106), uint32_t(XK_KP_Multiply));
    EXPECT_EQ(keysymForVirtualKey(107), uint32_t(XK_KP_Add));
    EXPECT_EQ(keysymForVirtualKey(109), uint32_t(XK_KP_Subtract));
    EXPECT_EQ(keysymForVirtualKey(111), uint32_t(XK_KP_Divide));
}

TEST(KeyMap, NoKeyAndUnknownCodesGiveNothing)
{
    for (int code : { 0, -1, 1, 255, 256, 1000, 0x7fffffff, -0x7fffffff - 1 })
        EXPECT_EQ(keysymForVirtualKey(code), 0u) << code;
}

TEST(KeyMap, ModifierFlagsBecomeTheServersMasks)
{
    EXPECT_EQ(modifierMaskForFlags(0), 0);
    EXPECT_EQ(modifierMaskForFlags(HotkeyAlt), Mod1Mask);
    EXPECT_EQ(modifierMaskForFlags(HotkeyCtrl), ControlMask);
    EXPECT_EQ(modifierMaskForFlags(HotkeyShift), ShiftMask);
    EXPECT_EQ(modifierMaskForFlags(7), Mod1Mask | ControlMask | ShiftMask);
    // Alt where this server puts it, not where it usually is.
    ModifierLayout layout;
    layout.alt = 0x20;
    EXPECT_EQ(modifierMaskForFlags(HotkeyAlt | HotkeyShift, layout), 0x20 | ShiftMask);
    // Bits the tables do not define are ignored rather than grabbed.
    EXPECT_EQ(modifierMaskForFlags(0x4000 | HotkeyCtrl), ControlMask);
}

TEST(KeyMap, LockVariantsCoverEveryLockState)
{
    const auto v = modifierVariants(ControlMask, Mod2Mask);
    const std::set<uint16_t> masks(v.begin(), v.end());
    const std::set<uint16_t> expected { ControlMask, ControlMask | LockMask, ControlMask | Mod2Mask,
        ControlMask | LockMask | Mod2Mask };
    EXPECT_EQ(masks, expected);
    // Each variant reads back as the plain combination once the locks are taken out.
    for (uint16_t mask : v)
        EXPECT_EQ(withoutLocks(mask, Mod2Mask), ControlMask);
    // Without a NumLock modifier the variants only differ by CapsLock.
    const auto noNum = modifierVariants(0, 0);
    EXPECT_EQ(std::set<uint16_t>(noNum.begin(), noNum.end()), (std::set<uint16_t> { 0, LockMask }));
}

TEST(KeyMap, PressStateIgnoresLocksAndPointerButtons)
{
    const uint16_t button1 = 0x100;
    EXPECT_EQ(withoutLocks(Mod1Mask | LockMask | Mod2Mask | button1, Mod2Mask), Mod1Mask);
    // A NumLock on another modifier: Mod2 is then a real modifier and stays.
    EXPECT_EQ(withoutLocks(Mod2Mask | 0x80, 0x80), Mod2Mask);
}
