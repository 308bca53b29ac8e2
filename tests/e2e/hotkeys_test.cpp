// The twelve hotkeys as a user meets them: every key of the dialog's list chosen
// in the hotkey dialog and pressed through XTest, whatever the lock keys say;
// a keyboard layout change; a combination another program holds; actions
// handed over from the command line.
#include "AgentProcess.h"
#include "SettingsTable.h"

#include <QDir>
#include <QProcess>
#include <QImage>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <tuple>

using namespace kaptivus;
using namespace kaptivus::e2e;

namespace {

// The dialog's key list (without "Aucun"): list position, the virtual-key code
// the tables store, and the X keysym of the key a person presses.
struct Key {
    int position;
    int virtualKey;
    uint32_t keysym;
};

std::vector<Key> dialogKeys()
{
    std::vector<Key> keys { { 1, 44, 0xff61 } };
    for (int f = 0; f < 12; ++f) keys.push_back({ 2 + f, 112 + f, 0xffbeu + f });
    for (int d = 0; d < 10; ++d) keys.push_back({ 14 + d, 96 + d, 0xffb0u + d });
    for (int l = 0; l < 26; ++l) keys.push_back({ 24 + l, 'A' + l, 'a' + static_cast<uint32_t>(l) });
    keys.push_back({ 50, 33, 0xff55 });
    keys.push_back({ 51, 34, 0xff56 });
    keys.push_back({ 52, 35, 0xff57 });
    keys.push_back({ 53, 36, 0xff50 });
    keys.push_back({ 54, 106, 0xffaa });
    keys.push_back({ 55, 107, 0xffab });
    keys.push_back({ 56, 109, 0xffad });
    keys.push_back({ 57, 111, 0xffaf });
    return keys;
}

struct Modifier {
    int position;
    int flags;
};

// One combination a key: PrintScrn takes only ALT or nothing; the others go
// round combinations the window manager leaves free (it holds Alt+Shift+F4).
Modifier modifierFor(const Key& key)
{
    if (key.position == 1) return { 1, 1 };
    static const Modifier round[] = { { 7, 6 }, { 2, 2 }, { 3, 4 }, { 6, 7 }, { 0, 0 } };
    return round[key.position % 5];
}

std::string dword(int v)
{
    char hex[32];
    std::snprintf(hex, sizeof hex, "dword:%08x", static_cast<unsigned>(v));
    return hex;
}

std::string numberedFolder()
{
    const std::string folder = tempFolder() + "numbered/";
    QDir().mkpath(QString::fromStdString(folder));
    return folder;
}

int numberedFiles()
{
    return static_cast<int>(QDir(QString::fromStdString(numberedFolder())).entryList(QDir::Files).size());
}

// A settings file with no Print Screen defaults and the given keys on actions
// (index, key, modifier); numbered saves as BMP into their own folder.
void writeHotkeys(const std::vector<std::tuple<int, Key, Modifier>>& rows)
{
    std::vector<std::pair<std::string, std::string>> values {
        { "HotKey0", dword(0) }, { "IndexH0", dword(0) }, { "HotKey3", dword(0) }, { "IndexH3", dword(0) },
        { "Modifier3", dword(0) }, { "IndexM3", dword(0) }, { "DefaultExt", "\".BMP\"" },
        { "AutoFolder", "\"" + numberedFolder() + "\"" },
    };
    for (const auto& [index, key, mod] : rows) {
        const std::string n = std::to_string(index);
        values.insert(values.end(), { { "HotKey" + n, dword(key.virtualKey) }, { "IndexH" + n, dword(key.position) },
                                        { "Modifier" + n, dword(mod.flags) }, { "IndexM" + n, dword(mod.position) } });
    }
    writeSettingsFile(defaultSettingsBody(values));
}

// The save's notice, once the agent has shown it.
bool noticeShown(const AgentProcess& agent)
{
    static test::Window notice = 0;
    static qint64 pid = 0;
    if (pid != agent.pid() || notice == 0) {
        pid = agent.pid();
        notice = agent.findWindow("Message d'information");
    }
    return notice != 0 && test::isViewable(notice);
}

// Presses the key until the numbered-file action it runs has written a file.
// The save's notice lets pending events run while the gate is still closed,
// so a press that comes then is refused: it is pressed again. Waiting for the
// notice as well as the file makes that the exception.
bool pressSaves(const AgentProcess& agent, const Key& key, const Modifier& mod, std::chrono::milliseconds timeout = 10s)
{
    const int before = numberedFiles();
    return test::waitUntil([&] {
        return test::pressKey(key.keysym, static_cast<unsigned>(mod.flags))
            && test::waitUntil([&] { return numberedFiles() > before && noticeShown(agent); }, 1s);
    }, timeout);
}

struct LockKeys : ::testing::Test {
    void TearDown() override
    {
        test::setNumLock(false);
        test::setCapsLock(false);
    }
};

// A row of the hotkey dialog (action index) and what is chosen in its two lists.
struct Choice {
    int index;
    Key key;
    Modifier mod;
};

// Moves a focused, closed list to the position: each step is a choice the user made.
void choosePosition(int position)
{
    test::pressKey(test::keysym::Home);
    for (int p = 0; p < position; ++p) test::pressKey(test::keysym::Down);
}

// Sets the rows through the hotkey dialog of the picture window's Options menu,
// as a person does. Closing the dialog saves the settings and registers the
// keys before it goes, so once it has gone the new combinations are held.
void chooseInDialog(AgentProcess& agent, const std::vector<Choice>& rows)
{
    // Refused like any hotkey while the last save still holds the gate: pressed again then.
    ASSERT_TRUE(test::waitUntil([&] {
        return test::pressKey(test::keysym::Print) && test::waitUntil([&] { return agent.pictureWindowShown(); }, 1s);
    }, 10s));
    const test::Window picture = agent.findWindow("Kaptivus 2000   v5.10 complet");
    ASSERT_TRUE(test::waitUntil([&] { return test::activeWindow() == picture; }, 5s));
    ASSERT_TRUE(test::pressKey('o', test::Alt));
    ASSERT_TRUE(test::waitUntil([&] { return agent.menuShown(); }, 5s));
    ASSERT_TRUE(test::pressKey('r'));
    ASSERT_TRUE(test::waitUntil([&] {
        const test::Window dialog = agent.findWindow("Réglages des raccourcis clavier");
        return dialog != 0 && test::activeWindow() == dialog;
    }, 5s));
    const test::Window dialog = agent.findWindow("Réglages des raccourcis clavier");
    // The dialog opens on the first row's key list; Tab goes key list, modifier
    // list, next row's key list.
    int focus = 0;
    for (const Choice& row : rows) {
        for (; focus < 2 * row.index; ++focus) test::pressKey(test::keysym::Tab);
        choosePosition(row.key.position);
        test::pressKey(test::keysym::Tab);
        choosePosition(row.mod.position);
        focus = 2 * row.index + 1;
    }
    test::pressKey(test::keysym::Return); // "OK"
    ASSERT_TRUE(test::waitUntil([&] { return !test::windowExists(dialog) || !test::isViewable(dialog); }, 10s));
    closePictureWindow(agent);
}

std::string hotkeyValue(const char* name, int index)
{
    const auto key = storedSettings();
    const auto* v = key ? key->findValue(name + std::to_string(index)) : nullptr;
    return v ? dword(static_cast<int>(v->dword)) : "missing";
}

// A third of the list a run, so that a run stays well inside the time a test is given.
class EveryDialogKey : public LockKeys, public ::testing::WithParamInterface<int> { };
constexpr size_t kKeysPerRun = 20;

} // namespace

// One agent for a third of the list: two keys at a time on the two
// numbered-file actions (102: desktop, 105: active window), chosen in the
// hotkey dialog, which registers them again each time it closes.
TEST_P(EveryDialogKey, FiresWithNumLockAndCapsLockOnAndOff)
{
    const auto keys = dialogKeys();
    ASSERT_EQ(keys.size(), 57u);
    // Print Screen alone opens the picture window; nothing else is set.
    writeHotkeys({ { 0, keys[0], { 0, 0 } } });
    AgentProcess agent;
    ASSERT_TRUE(agent.start());
    const size_t first = static_cast<size_t>(GetParam()) * kKeysPerRun;
    const size_t end = std::min(first + kKeysPerRun, keys.size());
    for (size_t k = first; k < end; k += 2) {
        std::vector<Choice> rows { { 1, keys[k], modifierFor(keys[k]) } };
        // A last key alone: the other row is emptied.
        const Choice none { 4, { 0, 0, 0 }, { 0, 0 } };
        rows.push_back(k + 1 < end ? Choice { 4, keys[k + 1], modifierFor(keys[k + 1]) } : none);
        SCOPED_TRACE("positions " + std::to_string(rows[0].key.position) + " and "
                     + std::to_string(rows[1].key.position));
        chooseInDialog(agent, rows);
        if (HasFatalFailure()) return;
        for (const Choice& row : rows) {
            ASSERT_EQ(hotkeyValue("IndexH", row.index), dword(row.key.position));
            ASSERT_EQ(hotkeyValue("IndexM", row.index), dword(row.mod.position));
            if (row.key.position != 0) {
                EXPECT_TRUE(agent.holdsHotkey(101 + row.index));
            }
        }
        for (bool num : { false, true }) {
            for (bool caps : { false, true }) {
                ASSERT_TRUE(test::setNumLock(num));
                ASSERT_TRUE(test::setCapsLock(caps));
                for (const Choice& row : rows) {
                    if (row.key.position == 0) continue;
                    EXPECT_TRUE(pressSaves(agent, row.key, row.mod))
                        << "position " << row.key.position << " modifiers " << row.mod.flags << " NumLock " << num
                        << " CapsLock " << caps;
                }
            }
        }
        ASSERT_TRUE(test::setNumLock(false));
        ASSERT_TRUE(test::setCapsLock(false));
    }
    agent.terminate();
    ASSERT_TRUE(agent.waitForExit());
}

INSTANTIATE_TEST_SUITE_P(KeyList, EveryDialogKey, ::testing::Range(0, 3));

namespace {

// Puts the server's keymap back as it was, whatever the test did to it.
class KeymapGuard {
public:
    KeymapGuard()
        : m_file(tempFolder() + "keymap.xkb")
    {
        m_saved = test::runProgram({ "xkbcomp", "-xkb", std::getenv("DISPLAY"), m_file }) == 0;
    }
    ~KeymapGuard()
    {
        if (m_saved) test::runProgram({ "xkbcomp", m_file, std::getenv("DISPLAY") });
        test::refreshKeyboardMapping();
    }
    bool saved() const { return m_saved; }

private:
    std::string m_file;
    bool m_saved = false;
};

} // namespace

TEST_F(LockKeys, AfterALayoutChangeTheHotkeyFiresOnItsNewKey)
{
    const Key keyA { 24, 'A', 'a' };
    const Modifier ctrl { 2, 2 };
    writeHotkeys({ { 1, keyA, ctrl } });
    KeymapGuard guard;
    ASSERT_TRUE(guard.saved());
    AgentProcess agent;
    ASSERT_TRUE(agent.start());
    ASSERT_TRUE(pressSaves(agent, keyA, ctrl));
    const auto before = test::keycodesOf('a');
    // AZERTY: the letter A moves to another key.
    ASSERT_EQ(test::runProgram({ "setxkbmap", "fr" }), 0);
    test::refreshKeyboardMapping();
    ASSERT_NE(test::keycodesOf('a'), before);
    // The agent grabs again once it has read the new mapping.
    EXPECT_TRUE(pressSaves(agent, keyA, ctrl));
    agent.terminate();
    ASSERT_TRUE(agent.waitForExit());
}

TEST(HotkeyConflict, ACombinationAnotherClientGrabbedFirstIsNotTakenAndTheOthersAre)
{
    test::ForeignKeyGrab other(test::keysym::F5, test::Ctrl);
    ASSERT_TRUE(other.isGrabbed());
    // Action 105 on Ctrl+F5, the defaults on Print Screen and Alt+Print Screen.
    writeSettingsFile(defaultSettingsBody({ { "HotKey4", dword(116) }, { "IndexH4", dword(6) },
                                            { "Modifier4", dword(2) }, { "IndexM4", dword(2) } }));
    AgentProcess agent;
    ASSERT_TRUE(agent.start());
    ASSERT_TRUE(test::waitUntil([&] { return agent.registeredHotkeys().size() == 2; }));
    EXPECT_EQ(agent.registeredHotkeys(), (std::vector<int> { 101, 104 }));
    // No message box at start: the quiet signs are the tray tip and the dialog.
    EXPECT_EQ(agent.findWindow("Attention"), 0u);
    EXPECT_EQ(agent.findWindow("Erreur"), 0u);
    agent.terminate();
    ASSERT_TRUE(agent.waitForExit());
}

TEST(CommandLine, HelpListsTheActionsAndACaptureWithoutAgentFails)
{
    const ProgramRun help = runKaptivus({ "--help" });
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("--capture N"), std::string::npos);
    EXPECT_NE(help.out.find("--bindings sway"), std::string::npos);
    EXPECT_NE(help.out.find("KAPTIVUS_BACKEND=x11|wlroots|portal"), std::string::npos);
    for (const char* line : { "101  Copier le bureau\n", "103  Copier bureau dans presse-papiers\n",
                              "106  Copier fenêtre active->p-papiers\n", "112  Copier objet vers presse-papiers\n" })
        EXPECT_NE(help.out.find(line), std::string::npos) << line;
    struct Case {
        QStringList arguments;
        int exitCode;
        const char* message;
    };
    const Case cases[] = {
        { { "--capture", "103" }, 1, "no agent is running" },
        { { "--capture=112" }, 1, "no agent is running" },
        { { "--capture", "100" }, 2, "from 101 to 112" },
        { { "--capture", "10x" }, 2, "from 101 to 112" },
        { { "--capture" }, 2, "from 101 to 112" },
        { { "--bindings", "i3" }, 2, "--bindings knows only sway" },
        { { "--bindings=" }, 2, "--bindings knows only sway" },
    };
    for (const Case& c : cases) {
        const ProgramRun r = runKaptivus(c.arguments);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.arguments.join(' ').toStdString();
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
}

TEST(CommandLine, CaptureHandsTheActionToTheAgentThroughTheHotkeyGate)
{
    writeSettingsFile(defaultSettingsBody({ { "Sound", dword(0) } }));
    AgentProcess agent;
    ASSERT_TRUE(agent.start());
    const test::Rect screen = test::screenSize();
    const ProgramRun taken = runKaptivus({ "--capture", "103" });
    EXPECT_EQ(taken.exitCode, 0) << taken.err;
    QImage picture;
    EXPECT_TRUE(test::waitUntil([&] { return !(picture = clipboardPicture()).isNull(); }, 10s));
    EXPECT_EQ(picture.size(), QSize(screen.width, screen.height));
    // The clipboard route's notice shows, then goes by itself.
    const test::Window notice = agent.findWindow("Message d'information");
    ASSERT_NE(notice, 0u);
    ASSERT_TRUE(test::waitUntil([&] { return !test::isViewable(notice); }, 10s));
    // A shown picture closes the gate: the action is refused as a hotkey would be.
    ASSERT_TRUE(test::pressKey(test::keysym::Print));
    ASSERT_TRUE(test::waitUntil([&] { return agent.pictureWindowShown(); }, 10s));
    const ProgramRun refused = runKaptivus({ "--capture", "103" });
    EXPECT_EQ(refused.exitCode, 3);
    EXPECT_NE(refused.err.find("not taken"), std::string::npos) << refused.err;
    EXPECT_FALSE(test::isViewable(notice));
    // Only one agent: the second start handed over and left.
    EXPECT_TRUE(agent.isRunning());
    agent.terminate();
    ASSERT_TRUE(agent.waitForExit());
}
