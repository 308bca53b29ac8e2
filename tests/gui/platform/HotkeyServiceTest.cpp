// Hotkeys through the X server: key presses injected with XTest reach the
// service as the id they were registered with, whatever the lock keys' state.
#include "XTest.h"
#include "platform/Hotkeys.h"
#include "platform/KeyMap.h"

#include <gtest/gtest.h>
#include <memory>
#include <vector>

using kaptivus::platform::HotkeyService;
namespace xt = kaptivus::test;

namespace {

constexpr int PrintScreen = 44;
constexpr int F5 = 116;
constexpr int F7 = 118;
constexpr int F8 = 119;
constexpr int F9 = 120;
constexpr int F10 = 121;
constexpr int F11 = 122;
constexpr int Num0 = 96;

// Collects the ids a service reports.
struct Recorder {
    explicit Recorder(HotkeyService& service)
    {
        QObject::connect(&service, &HotkeyService::hotkeyPressed, &service, [this](int id) { ids.push_back(id); });
    }
    bool waitFor(size_t count)
    {
        return xt::waitUntil([&] { return ids.size() >= count; });
    }
    std::vector<int> ids;
};

class Hotkeys : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!xt::haveDisplay()) GTEST_SKIP() << "no X display";
        m_service = std::make_unique<HotkeyService>();
        ASSERT_TRUE(m_service->isConnected());
        m_recorder = std::make_unique<Recorder>(*m_service);
    }
    void TearDown() override
    {
        xt::setNumLock(false);
        xt::setCapsLock(false);
    }
    // Presses a key, then a registered marker key, and returns what arrived once
    // the marker has: presses are delivered in order, so anything the first
    // press caused is in by then.
    std::vector<int> pressThenMarker(uint32_t keysym, unsigned mods)
    {
        m_recorder->ids.clear();
        EXPECT_TRUE(m_service->registerHotkey(999, F11, 0));
        xt::pressKey(keysym, mods);
        xt::pressKey(xt::keysym::F11, 0);
        EXPECT_TRUE(xt::waitUntil([&] { return !m_recorder->ids.empty() && m_recorder->ids.back() == 999; }));
        m_service->unregisterHotkey(999);
        std::vector<int> before(m_recorder->ids.begin(), m_recorder->ids.end() - 1);
        m_recorder->ids.clear();
        return before;
    }
    std::unique_ptr<HotkeyService> m_service;
    std::unique_ptr<Recorder> m_recorder;
};

} // namespace

TEST_F(Hotkeys, DefaultKeysReachTheirActions)
{
    ASSERT_TRUE(m_service->registerHotkey(101, PrintScreen, 0));
    ASSERT_TRUE(m_service->registerHotkey(104, PrintScreen, 1));
    xt::pressKey(xt::keysym::Print);
    ASSERT_TRUE(m_recorder->waitFor(1));
    // Alt+Print produces Sys_Req on the same key: matched by key, not by symbol.
    xt::pressKey(xt::keysym::Print, xt::Alt);
    ASSERT_TRUE(m_recorder->waitFor(2));
    EXPECT_EQ(m_recorder->ids, (std::vector<int> { 101, 104 }));
}

TEST_F(Hotkeys, EveryKeyCodeOfTheKeyIsGrabbed)
{
    ASSERT_TRUE(m_service->registerHotkey(101, PrintScreen, 0));
    const auto keycodes = xt::keycodesOf(xt::keysym::Print);
    ASSERT_FALSE(keycodes.empty());
    for (uint8_t keycode : keycodes) {
        m_recorder->ids.clear();
        xt::pressKeycode(keycode);
        EXPECT_TRUE(m_recorder->waitFor(1)) << "key code " << int(keycode);
    }
}

TEST_F(Hotkeys, HotkeysFireWithNumLockAndCapsLockOn)
{
    ASSERT_TRUE(m_service->registerHotkey(101, PrintScreen, 0));
    ASSERT_TRUE(m_service->registerHotkey(105, F5, 2));
    for (bool num : { false, true }) {
        for (bool caps : { false, true }) {
            ASSERT_TRUE(xt::setNumLock(num));
            ASSERT_TRUE(xt::setCapsLock(caps));
            m_recorder->ids.clear();
            xt::pressKey(xt::keysym::Print);
            xt::pressKey(xt::keysym::F5, xt::Ctrl);
            EXPECT_TRUE(m_recorder->waitFor(2)) << "NumLock " << num << " CapsLock " << caps;
            EXPECT_EQ(m_recorder->ids, (std::vector<int> { 101, 105 })) << "NumLock " << num << " CapsLock " << caps;
        }
    }
}

TEST_F(Hotkeys, KeypadDigitFiresWhateverNumLockSays)
{
    ASSERT_TRUE(m_service->registerHotkey(107, Num0, 0));
    for (bool num : { true, false }) {
        ASSERT_TRUE(xt::setNumLock(num));
        m_recorder->ids.clear();
        xt::pressKey(xt::keysym::KP_0);
        EXPECT_TRUE(m_recorder->waitFor(1)) << "NumLock " << num;
    }
}

TEST_F(Hotkeys, CombinationsNotRegisteredDoNothing)
{
    ASSERT_TRUE(m_service->registerHotkey(101, PrintScreen, 0));
    ASSERT_TRUE(m_service->registerHotkey(105, F5, 2));
    EXPECT_TRUE(pressThenMarker(xt::keysym::Print, xt::Shift).empty());
    EXPECT_TRUE(pressThenMarker(xt::keysym::Print, xt::Ctrl).empty());
    EXPECT_TRUE(pressThenMarker(xt::keysym::F5, 0).empty());
    EXPECT_TRUE(pressThenMarker(xt::keysym::F5, xt::Ctrl | xt::Shift).empty());
    EXPECT_EQ(pressThenMarker(xt::keysym::F5, xt::Ctrl), (std::vector<int> { 105 }));
}

TEST_F(Hotkeys, CombinationHeldByAnotherClientFailsQuietly)
{
    xt::ForeignKeyGrab other(xt::keysym::F7, xt::Ctrl);
    ASSERT_TRUE(other.isGrabbed());
    EXPECT_FALSE(m_service->registerHotkey(106, F7, 2));
    // Nothing of the refused combination stays grabbed, and the rest still works.
    ASSERT_TRUE(m_service->registerHotkey(101, PrintScreen, 0));
    EXPECT_EQ(pressThenMarker(xt::keysym::Print, 0), (std::vector<int> { 101 }));
    EXPECT_TRUE(pressThenMarker(xt::keysym::F7, xt::Ctrl).empty());
}

TEST_F(Hotkeys, UnregisteringReleasesTheKeys)
{
    ASSERT_TRUE(m_service->registerHotkey(101, PrintScreen, 0));
    ASSERT_TRUE(m_service->registerHotkey(104, PrintScreen, 1));
    m_service->unregisterAll();
    EXPECT_TRUE(pressThenMarker(xt::keysym::Print, 0).empty());
    EXPECT_TRUE(pressThenMarker(xt::keysym::Print, xt::Alt).empty());
    // Another program can have them now.
    xt::ForeignKeyGrab other(xt::keysym::Print, 0);
    EXPECT_TRUE(other.isGrabbed());
}

TEST_F(Hotkeys, DestroyingTheServiceReleasesTheKeys)
{
    ASSERT_TRUE(m_service->registerHotkey(101, PrintScreen, 0));
    m_recorder.reset();
    m_service.reset();
    xt::ForeignKeyGrab other(xt::keysym::Print, 0);
    EXPECT_TRUE(other.isGrabbed());
}

TEST_F(Hotkeys, RegisteringAnIdAgainReplacesItsKey)
{
    ASSERT_TRUE(m_service->registerHotkey(101, F9, 0));
    ASSERT_TRUE(m_service->registerHotkey(101, F10, 0));
    EXPECT_TRUE(pressThenMarker(xt::keysym::F9, 0).empty());
    EXPECT_EQ(pressThenMarker(xt::keysym::F10, 0), (std::vector<int> { 101 }));
    // Key 0 takes the id's key away and is not an error.
    EXPECT_TRUE(m_service->registerHotkey(101, 0, 0));
    EXPECT_TRUE(pressThenMarker(xt::keysym::F10, 0).empty());
}

TEST_F(Hotkeys, UnknownKeysAndDuplicatesAreRefused)
{
    EXPECT_FALSE(m_service->registerHotkey(101, 255, 0));
    EXPECT_FALSE(m_service->registerHotkey(101, -5, 0));
    ASSERT_TRUE(m_service->registerHotkey(102, F8, 4));
    EXPECT_FALSE(m_service->registerHotkey(103, F8, 4));
    EXPECT_TRUE(m_service->registerHotkey(103, F8, 1));
    EXPECT_EQ(pressThenMarker(xt::keysym::F8, xt::Shift), (std::vector<int> { 102 }));
}

TEST_F(Hotkeys, EveryKeyOfTheDialogCanBePressed)
{
    std::vector<int> codes { PrintScreen, 33, 34, 35, 36, 106, 107, 109, 111 };
    for (int code = 112; code <= 123; ++code)
        codes.push_back(code);
    for (int code = 96; code <= 105; ++code)
        codes.push_back(code);
    for (int code = 'A'; code <= 'Z'; ++code)
        codes.push_back(code);
    ASSERT_TRUE(xt::setNumLock(true));
    for (int code : codes) {
        ASSERT_TRUE(m_service->registerHotkey(110, code, 6)) << code;
        m_recorder->ids.clear();
        xt::pressKey(kaptivus::platform::keysymForVirtualKey(code), xt::Ctrl | xt::Shift);
        EXPECT_TRUE(m_recorder->waitFor(1)) << "virtual key " << code;
    }
}

TEST_F(Hotkeys, NewKeyboardMappingIsGrabbedAgain)
{
    const uint8_t spare = xt::unusedKeycode();
    ASSERT_NE(spare, 0);
    ASSERT_TRUE(m_service->registerHotkey(108, F9, 0));
    // A second key now also produces F9: the service must grab it too.
    ASSERT_TRUE(xt::setKeycodeKeysym(spare, xt::keysym::F9));
    const bool fired = xt::waitUntil([&] {
        m_recorder->ids.clear();
        xt::pressKeycode(spare);
        return xt::waitUntil([&] { return !m_recorder->ids.empty(); }, std::chrono::milliseconds(100));
    });
    xt::setKeycodeKeysym(spare, 0);
    EXPECT_TRUE(fired);
}

TEST_F(Hotkeys, StatusTellsWhatBecameOfEachRegistration)
{
    using kaptivus::platform::HotkeyStatus;
    xt::ForeignKeyGrab other(xt::keysym::F7, xt::Ctrl);
    ASSERT_TRUE(other.isGrabbed());
    struct Case {
        int id, virtualKey, modifiers;
        HotkeyStatus status;
    };
    const Case cases[] = {
        { 101, PrintScreen, 0, HotkeyStatus::Grabbed },
        { 102, F7, 2, HotkeyStatus::HeldElsewhere },   // another client
        { 103, PrintScreen, 0, HotkeyStatus::HeldElsewhere }, // our own id 101
        { 104, 255, 0, HotkeyStatus::NotOnKeyboard },  // no such virtual key
        { 105, 0, 0, HotkeyStatus::Unregistered },     // no key
    };
    for (const Case& c : cases) {
        EXPECT_EQ(m_service->registerHotkey(c.id, c.virtualKey, c.modifiers),
                  c.status != HotkeyStatus::HeldElsewhere && c.status != HotkeyStatus::NotOnKeyboard)
            << c.id;
        EXPECT_EQ(m_service->status(c.id), c.status) << c.id;
    }
    m_service->unregisterHotkey(102);
    EXPECT_EQ(m_service->status(102), HotkeyStatus::Unregistered);
}

TEST_F(Hotkeys, AKeyMissingFromTheKeyboardIsGrabbedOnceAMappingBringsIt)
{
    using kaptivus::platform::HotkeyStatus;
    constexpr int F13 = 124;
    constexpr uint32_t keysymF13 = 0xffca;
    if (!xt::keycodesOf(keysymF13).empty()) GTEST_SKIP() << "this keyboard has F13";
    const uint8_t spare = xt::unusedKeycode();
    ASSERT_NE(spare, 0);
    int changes = 0;
    QObject::connect(m_service.get(), &HotkeyService::statusChanged, m_service.get(), [&] { ++changes; });
    EXPECT_FALSE(m_service->registerHotkey(109, F13, 2));
    EXPECT_EQ(m_service->status(109), HotkeyStatus::NotOnKeyboard);
    ASSERT_TRUE(xt::setKeycodeKeysym(spare, keysymF13));
    EXPECT_TRUE(xt::waitUntil([&] { return m_service->status(109) == HotkeyStatus::Grabbed; }));
    EXPECT_GE(changes, 1);
    m_recorder->ids.clear();
    xt::pressKey(keysymF13, xt::Ctrl);
    EXPECT_TRUE(m_recorder->waitFor(1));
    xt::setKeycodeKeysym(spare, 0);
    EXPECT_TRUE(xt::waitUntil([&] { return m_service->status(109) == HotkeyStatus::NotOnKeyboard; }));
}
