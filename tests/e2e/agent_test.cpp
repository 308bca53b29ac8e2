// The agent as a person meets it: started twice, driven by real key presses,
// its settings file written and repaired, its tray icon, its quitting.
#include "AgentProcess.h"
#include "SettingsTable.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <sstream>

using namespace kaptivus;
using namespace kaptivus::e2e;

namespace {

const config::RegistryValue* value(const config::RegistryKeyData& key, const std::string& name)
{
    return key.findValue(name);
}

// Every default value is there, with its type; screen-dependent ones only by type.
void expectDefaults(const config::RegistryKeyData& key, const std::vector<std::string>& except = {})
{
    EXPECT_EQ(key.values.size(), 127u);
    for (const auto& expected : defaultSettings()) {
        const auto* v = value(key, expected.name);
        ASSERT_NE(v, nullptr) << expected.name;
        if (std::find(except.begin(), except.end(), expected.name) != except.end()) continue;
        if (expected.isText) {
            ASSERT_EQ(v->kind, config::ValueKind::Text) << expected.name;
            if (expected.text != "\x01") {
                EXPECT_EQ(v->data, expected.text) << expected.name;
            }
        } else {
            ASSERT_EQ(v->kind, config::ValueKind::Dword) << expected.name;
            if (expected.number >= 0) {
                EXPECT_EQ(v->dword, static_cast<uint32_t>(expected.number)) << expected.name;
            }
        }
    }
}

bool waitShown(AgentProcess& agent, std::chrono::milliseconds timeout = 10s)
{
    return test::waitUntil([&] { return agent.pictureWindowShown(); }, timeout);
}

bool waitHidden(AgentProcess& agent, std::chrono::milliseconds timeout = 10s)
{
    return test::waitUntil([&] { return !agent.pictureWindowShown(); }, timeout);
}

// Escape closes (hides) the picture window; the gate opens again.
void closePictureWindow(AgentProcess& agent)
{
    ASSERT_TRUE(waitShown(agent));
    const auto w = agent.findWindow("Kaptivus 2000   v5.10 complet");
    ASSERT_TRUE(test::waitUntil([&] { return test::activeWindow() == w; }, 5s));
    test::pressKey(test::keysym::Escape);
    ASSERT_TRUE(waitHidden(agent));
}

constexpr uint32_t keysymS = 0x73;
constexpr uint32_t keysymUp = 0xff52;

void quit(AgentProcess& agent)
{
    agent.terminate();
    ASSERT_TRUE(agent.waitForExit());
    EXPECT_EQ(agent.process().exitStatus(), QProcess::NormalExit) << agent.output().toStdString();
}

} // namespace

TEST(Agent, FirstStartWritesEveryValueWithItsDefault)
{
    ASSERT_FALSE(std::filesystem::exists(settingsFile()));
    AgentProcess agent;
    ASSERT_TRUE(agent.start()) << agent.output().toStdString();
    quit(agent);
    const auto key = storedSettings();
    ASSERT_TRUE(key.has_value());
    expectDefaults(*key);
}

TEST(Agent, KeyMissingFrameIsRewrittenCompleteKeepingEveryOtherValue)
{
    writeSettingsFile(defaultSettingsBody(
        {{"Brightness", "dword:00000032"}, {"Resize", "dword:00000096"}, {"Rotation", "dword:0000005a"},
         {"Hist1", "\"/tmp/a.bmp\""}, {"Cursor", "dword:00000001"}},
        {"Frame"}));
    AgentProcess agent;
    ASSERT_TRUE(agent.start());
    // The repair happens at start: the file is complete before anyone quits.
    const auto key = storedSettings();
    ASSERT_TRUE(key.has_value());
    expectDefaults(*key, {"Brightness", "Resize", "Rotation", "Hist1", "Cursor"});
    EXPECT_EQ(value(*key, "Brightness")->dword, 50u);
    EXPECT_EQ(value(*key, "Resize")->dword, 150u);
    EXPECT_EQ(value(*key, "Frame")->dword, 0u);
    // Values read after the missing one are kept too.
    EXPECT_EQ(value(*key, "Rotation")->dword, 90u);
    EXPECT_EQ(value(*key, "Cursor")->dword, 1u);
    EXPECT_EQ(value(*key, "Hist1")->data, "/tmp/a.bmp");
    quit(agent);
}

TEST(Agent, BrightnessStoredAsTextCostsOnlyBrightness)
{
    writeSettingsFile(defaultSettingsBody(
        {{"Brightness", "\"50\""}, {"Sharpen", "dword:00000001"}, {"Contrast", "dword:00000014"}}));
    AgentProcess agent;
    ASSERT_TRUE(agent.start());
    quit(agent);
    const auto key = storedSettings();
    ASSERT_TRUE(key.has_value());
    expectDefaults(*key, {"Sharpen", "Contrast"});
    EXPECT_EQ(value(*key, "Sharpen")->dword, 1u);   // read before "Brightness"
    EXPECT_EQ(value(*key, "Brightness")->kind, config::ValueKind::Dword);
    EXPECT_EQ(value(*key, "Brightness")->dword, 0u);
    EXPECT_EQ(value(*key, "Contrast")->dword, 20u); // read after it
}

TEST(Agent, SecondStartExitsAtOnceAndLeavesTheFirstAlone)
{
    AgentProcess first;
    ASSERT_TRUE(first.start());
    const auto icon = first.trayIconWindow();
    AgentProcess second;
    second.launch();
    ASSERT_TRUE(second.waitForExit(10s));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(windowsOfPid(second.pid()).empty());
    EXPECT_TRUE(first.isRunning());
    EXPECT_TRUE(keyIsGrabbed(test::keysym::Print, test::NoModifier));
    EXPECT_EQ(first.trayIconWindow(), icon);
    quit(first);
}

TEST(Agent, TwentyStartsAtOnceLeaveExactlyOne)
{
    std::vector<std::unique_ptr<AgentProcess>> agents;
    for (int i = 0; i < 20; ++i) {
        agents.push_back(std::make_unique<AgentProcess>());
        agents.back()->launch();
    }
    auto running = [&] {
        return std::count_if(agents.begin(), agents.end(), [](const auto& a) { return a->isRunning(); });
    };
    ASSERT_TRUE(test::waitUntil([&] { return running() == 1; }, 30s)) << running() << " still running";
    auto& survivor = *std::find_if(agents.begin(), agents.end(), [](const auto& a) { return a->isRunning(); });
    ASSERT_TRUE(test::waitUntil([&] { return survivor->holdsHotkey(101); }, 15s));
    for (auto& a : agents) {
        if (a->isRunning())
            quit(*a);
        else
            EXPECT_EQ(a->exitCode(), 0);
    }
}

TEST(Agent, TrayIconIsEmbeddedAndGoneAfterSigterm)
{
    AgentProcess agent;
    ASSERT_TRUE(agent.start());
    test::Window icon = 0;
    ASSERT_TRUE(test::waitUntil([&] { return (icon = agent.trayIconWindow()) != 0; }, 10s));
    std::filesystem::remove(settingsFile());
    quit(agent);
    EXPECT_EQ(agent.exitCode(), 0);
    // Quitting writes the settings and releases the icon and the hotkeys.
    EXPECT_TRUE(storedSettings().has_value());
    EXPECT_FALSE(test::windowExists(icon) && test::isViewable(icon));
    EXPECT_FALSE(keyIsGrabbed(test::keysym::Print, test::NoModifier));
    EXPECT_FALSE(keyIsGrabbed(test::keysym::Print, test::Alt));
}

TEST(Agent, PrintScreenAndAltPrintScreenReachTheGate)
{
    AgentProcess agent;
    ASSERT_TRUE(agent.start());
    ASSERT_TRUE(test::pressKey(test::keysym::Print));
    ASSERT_TRUE(waitShown(agent));
    // While the picture is shown, further hotkeys are kept out.
    closePictureWindow(agent);
    ASSERT_TRUE(test::pressKey(test::keysym::Print, test::Alt));
    ASSERT_TRUE(waitShown(agent));
    closePictureWindow(agent);
    ASSERT_TRUE(test::setNumLock(true));
    ASSERT_TRUE(test::pressKey(test::keysym::Print));
    const bool shownWithNumLock = waitShown(agent);
    test::setNumLock(false);
    ASSERT_TRUE(shownWithNumLock);
    closePictureWindow(agent);
    quit(agent);
}

TEST(Agent, RedefinedCtrlF5ReachesTheGate)
{
    // Action 101 on Ctrl+F5 (F5 is virtual key 116, Ctrl is 2).
    writeSettingsFile(defaultSettingsBody({{"HotKey0", "dword:00000074"}, {"Modifier0", "dword:00000002"},
                                           {"IndexH0", "dword:00000006"}, {"IndexM0", "dword:00000002"}}));
    AgentProcess agent;
    ASSERT_TRUE(agent.start());
    EXPECT_TRUE(keyIsGrabbed(test::keysym::F5, test::Ctrl));
    EXPECT_FALSE(keyIsGrabbed(test::keysym::Print, test::NoModifier));
    ASSERT_TRUE(test::pressKey(test::keysym::F5, test::Ctrl));
    ASSERT_TRUE(waitShown(agent));
    closePictureWindow(agent);
    quit(agent);
}

namespace {

// Right button on the tray icon opens the agent's menu.
void openTrayMenu(AgentProcess& agent) { ASSERT_TRUE(agent.openTrayMenu()); }

} // namespace

TEST(Agent, SuspendedAgentIgnoresHotkeysUntilResumed)
{
    AgentProcess agent;
    ASSERT_TRUE(agent.start());
    openTrayMenu(agent);
    ASSERT_TRUE(test::pressKey(keysymS));
    // Suspension releases the grabs, so a press cannot reach the agent at all.
    ASSERT_TRUE(test::waitUntil([&] { return agent.registeredHotkeys().empty(); }, 5s));
    EXPECT_FALSE(keyIsGrabbed(test::keysym::Print, test::NoModifier));
    test::pressKey(test::keysym::Print);
    EXPECT_FALSE(waitShown(agent, 1500ms));
    openTrayMenu(agent);
    ASSERT_TRUE(test::pressKey(keysymS));
    ASSERT_TRUE(test::waitUntil([&] { return agent.holdsHotkey(101) && agent.holdsHotkey(104); }, 5s));
    ASSERT_TRUE(test::pressKey(test::keysym::Print));
    EXPECT_TRUE(waitShown(agent));
    closePictureWindow(agent);
    quit(agent);
}

TEST(Agent, ResetAnsweredNoChangesNothing)
{
    writeSettingsFile(defaultSettingsBody({{"Brightness", "dword:00000032"}}));
    AgentProcess agent;
    ASSERT_TRUE(agent.start());
    openTrayMenu(agent);
    test::pressKey(keysymUp); // " &Quitter"
    test::pressKey(keysymUp); // the reset, above its separator
    test::pressKey(test::keysym::Return);
    const test::Window box = test::waitForWindowByTitle("Confirmer");
    ASSERT_NE(box, 0u);
    ASSERT_TRUE(test::waitUntil([&] { return test::activeWindow() == test::parentOf(box) || test::activeWindow() == box; }, 5s));
    test::pressKey(test::keysym::Escape);
    ASSERT_TRUE(test::waitUntil([&] { return !test::isViewable(box); }, 5s));
    EXPECT_TRUE(agent.isRunning());
    const auto key = storedSettings();
    ASSERT_TRUE(key.has_value());
    EXPECT_EQ(key->findValue("Brightness")->dword, 50u);
    quit(agent);
}

TEST(Agent, ResetRemovesTheKeyAndEndsWithoutWritingItBack)
{
    writeSettingsFile(defaultSettingsBody({{"Brightness", "dword:00000032"}}));
    AgentProcess agent;
    ASSERT_TRUE(agent.start());
    openTrayMenu(agent);
    test::pressKey(keysymUp);
    test::pressKey(keysymUp);
    test::pressKey(test::keysym::Return);
    const test::Window question = test::waitForWindowByTitle("Confirmer");
    ASSERT_NE(question, 0u);
    ASSERT_TRUE(test::waitUntil([&] { return test::activeWindow() == test::parentOf(question) || test::activeWindow() == question; }, 5s));
    test::pressKey(test::keysym::Return); // "&Oui" is the default button
    const test::Window done = test::waitForWindowByTitle("Information");
    ASSERT_NE(done, 0u);
    ASSERT_TRUE(test::waitUntil([&] { return test::activeWindow() == test::parentOf(done) || test::activeWindow() == done; }, 5s));
    test::pressKey(test::keysym::Return);
    ASSERT_TRUE(agent.waitForExit(10s));
    EXPECT_EQ(agent.exitCode(), 0);
    EXPECT_FALSE(storedSettings().has_value());
    // The parent key stays.
    std::ifstream in(settingsFile());
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find("[HKEY_CURRENT_USER\\SOFTWARE\\Kaptivus2000]"), std::string::npos);
    // The next start writes the defaults again.
    AgentProcess next;
    ASSERT_TRUE(next.start());
    quit(next);
    ASSERT_TRUE(storedSettings().has_value());
    expectDefaults(*storedSettings());
}
