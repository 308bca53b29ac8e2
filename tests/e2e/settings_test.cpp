// Settings that cannot be applied or read whole, met at start: a monitor that is
// gone, a record read in part (kept as numbered copies before the rewrite), a
// file that cannot be copied, a window placed off every monitor; and quitting on
// a signal, during a delay or with settings that cannot be written.
#include "AgentProcess.h"
#include "SettingsTable.h"
#include "config/KeptCopy.h"

#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

using namespace kaptivus;
using namespace kaptivus::e2e;

namespace {

std::string readBytes(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t dword(const config::RegistryKeyData& key, const std::string& name)
{
    const auto* v = key.findValue(name);
    return v ? v->dword : 0xDEADBEEF;
}

std::string text(const config::RegistryKeyData& key, const std::string& name)
{
    const auto* v = key.findValue(name);
    return v ? v->data : "<missing>";
}

// The information window says something now.
bool noticeShown(const AgentProcess& agent)
{
    return test::waitUntil(
        [&] {
            const auto w = agent.findWindow("Message d'information de Kaptivus 2000");
            return w != 0 && test::isViewable(w);
        },
        10s);
}

void quitWritingSettings(AgentProcess& agent)
{
    agent.terminate();
    ASSERT_TRUE(agent.waitForExit());
    EXPECT_EQ(agent.process().exitStatus(), QProcess::NormalExit);
}

} // namespace

TEST(Settings, StoredMonitorThatIsGoneNoLongerResetsTheValuesReadAfterIt)
{
    // The test display has one monitor: "Monitor_2" names one that is gone.
    writeSettingsFile(defaultSettingsBody({{"Monitor_0", "dword:00000000"}, {"Monitor_2", "dword:00000001"},
                                           {"AutoSave", "dword:00000001"}, {"Hist13", "\"/tmp/m.gif\""}}));
    const std::string written = readBytes(settingsFile());
    AgentProcess agent;
    ASSERT_TRUE(agent.start()) << agent.output().toStdString();
    // Read whole: nothing is rewritten or kept aside at start.
    EXPECT_EQ(readBytes(settingsFile()), written);
    EXPECT_FALSE(std::filesystem::exists(config::keptCopyName(settingsFile(), 0)));
    quitWritingSettings(agent);
    const auto key = storedSettings();
    ASSERT_TRUE(key.has_value());
    EXPECT_EQ(dword(*key, "Monitor_0"), 1u); // the mark moved to " Tous les moniteurs"
    EXPECT_EQ(dword(*key, "Monitor_2"), 0u);
    EXPECT_EQ(dword(*key, "AutoSave"), 1u);
    EXPECT_EQ(text(*key, "Hist13"), "/tmp/m.gif");
}

TEST(Settings, RecordReadInPartIsKeptAsNumberedCopiesBeforeItIsRewritten)
{
    struct Case {
        const char* what;
        std::string body;
    };
    const Case cases[] = {
        {"a value of the wrong type", defaultSettingsBody({{"Brightness", "\"50\""}, {"Sharpen", "dword:00000001"}})},
        {"a line that cannot be decoded", "\"HotKey0\"=dword:zz\r\n"},
    };
    std::vector<std::string> originals;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        writeSettingsFile(c.body);
        originals.push_back(readBytes(settingsFile()));
        AgentProcess agent;
        ASSERT_TRUE(agent.start()) << agent.output().toStdString();
        EXPECT_TRUE(noticeShown(agent));
        // Each start keeps its own copy; older copies are never overwritten.
        for (size_t n = 0; n < originals.size(); ++n)
            EXPECT_EQ(readBytes(config::keptCopyName(settingsFile(), static_cast<int>(n))), originals[n]) << n;
        EXPECT_FALSE(std::filesystem::exists(config::keptCopyName(settingsFile(), static_cast<int>(originals.size()))));
        // The record itself is complete again, keeping what was read.
        const auto key = storedSettings();
        ASSERT_TRUE(key.has_value());
        EXPECT_EQ(key->values.size(), 127u);
        quitWritingSettings(agent);
    }
    EXPECT_EQ(dword(*storedSettings(), "Sharpen"), 0u); // the last file held no "Sharpen"
}

TEST(Settings, RecordThatCannotBeCopiedIsNotReplaced)
{
    writeSettingsFile(defaultSettingsBody({{"Brightness", "\"50\""}}));
    const std::string original = readBytes(settingsFile());
    // Every name a copy could take is taken.
    for (int n = 0; n < config::kMaxKeptCopies; ++n) std::ofstream(config::keptCopyName(settingsFile(), n)) << "older";
    AgentProcess agent;
    ASSERT_TRUE(agent.start()) << agent.output().toStdString();
    EXPECT_TRUE(noticeShown(agent));
    EXPECT_EQ(readBytes(settingsFile()), original);
    // Not at quitting either: the user's file outlives the run.
    quitWritingSettings(agent);
    EXPECT_EQ(readBytes(settingsFile()), original);
    EXPECT_EQ(readBytes(config::keptCopyName(settingsFile(), 0)), "older");
}

TEST(Settings, PictureWindowPlacedOffScreenComesBack)
{
    // 640 pixels wide at -620: a sliver of the title bar would be left, too little to grab.
    writeSettingsFile(defaultSettingsBody({{"PosX", "dword:fffffd94"}, {"Sound", "dword:00000000"}}));
    AgentProcess agent;
    ASSERT_TRUE(agent.start());
    ASSERT_TRUE(test::pressKey(test::keysym::Print));
    ASSERT_TRUE(test::waitUntil([&] { return agent.pictureWindowShown(); }, 10s));
    const auto window = agent.findWindow("Kaptivus 2000   v5.10 complet");
    const test::Rect screen = test::screenSize();
    // The title bar lies just above the inside of the window: enough of it is on screen.
    test::Rect inside;
    EXPECT_TRUE(test::waitUntil(
        [&] {
            inside = test::windowRootGeometry(window);
            const int shown = std::min(inside.left + inside.width, screen.width) - std::max(inside.left, 0);
            return shown >= 100 && inside.top > 0 && inside.top < screen.height;
        },
        5s))
        << inside.left << "," << inside.top << " " << inside.width << "x" << inside.height;
    quitWritingSettings(agent);
}

// Regression: SIGTERM (the session ending) with a settings folder that could not be
// written waited on an error box until someone clicked OK.
TEST(Settings, QuitBySignalWithSettingsThatCannotBeWrittenSaysSoOnStandardErrorAndEnds)
{
    enum class Box { None, AfterClose, AtStart };
    struct Case {
        const char* what;
        Box box;
    };
    const Case cases[] = {{"agent idle", Box::None},
                          {"the picture window's save waiting on its error box", Box::AfterClose},
                          {"the first start's save waiting on its error box", Box::AtStart}};
    const std::filesystem::path folder = settingsFile().parent_path();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(folder);
        writeSettingsFile(defaultSettingsBody({{"Sound", "dword:00000000"}}));
        AgentProcess agent;
        if (c.box == Box::AtStart) {
            // A configuration folder that can never be made, as root neither.
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("XDG_CONFIG_HOME"), QStringLiteral("/proc/self/kaptivus-nowhere"));
            agent.process().setProcessEnvironment(env);
            agent.launch();
        } else {
            ASSERT_TRUE(agent.start()) << agent.output().toStdString();
        }
        if (c.box == Box::AfterClose) {
            ASSERT_TRUE(test::pressKey(test::keysym::Print));
            ASSERT_TRUE(test::waitUntil([&] { return agent.pictureWindowShown(); }, 10s));
        }
        // A file stands where the settings folder was: nothing can be written there, as root neither.
        std::filesystem::remove_all(folder);
        std::ofstream(folder) << "not a folder";
        if (c.box == Box::AfterClose) {
            const auto main = agent.findWindow("Kaptivus 2000   v5.10 complet");
            ASSERT_TRUE(test::waitUntil([&] { return test::activeWindow() == main; }, 5s));
            ASSERT_TRUE(test::pressKey(test::keysym::Escape));
        }
        if (c.box != Box::None) {
            ASSERT_TRUE(test::waitUntil([&] { return agent.findWindow("Erreur") != 0; }, 10s));
        }
        agent.terminate();
        ASSERT_TRUE(agent.waitForExit(10s)) << "still running: waiting for a click?";
        EXPECT_EQ(agent.process().exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(agent.exitCode(), 1);
        const std::string output = agent.output().toStdString();
        EXPECT_NE(output.find("kaptivus2000: The settings could not be written"), std::string::npos) << output;
        std::filesystem::remove(folder);
    }
}

// Regression: a stored "CaptureDelay" of 0x7fffffff froze the agent on "Zone" for 24.8
// days, deaf to SIGTERM. The delay is bounded to the menu's longest, and the agent
// answers while it waits.
TEST(Settings, SigtermDuringTheAreaDelayEndsTheAgent)
{
    writeSettingsFile(defaultSettingsBody({{"CaptureDelay", "dword:7fffffff"}, {"Sound", "dword:00000000"}}));
    AgentProcess agent;
    ASSERT_TRUE(agent.start()) << agent.output().toStdString();
    ASSERT_TRUE(test::pressKey(test::keysym::Print));
    ASSERT_TRUE(test::waitUntil([&] { return agent.pictureWindowShown(); }, 10s));
    const auto main = agent.findWindow("Kaptivus 2000   v5.10 complet");
    ASSERT_TRUE(test::waitUntil([&] { return test::inputFocus() == main; }, 5s));
    ASSERT_TRUE(test::pressKey(0x72, test::Ctrl)); // "Zone" (Ctrl+R): hidden for the delay
    ASSERT_TRUE(test::waitUntil([&] { return !agent.pictureWindowShown(); }, 5s));
    agent.terminate();
    // Of the 9.2 s of waiting, most are still ahead.
    ASSERT_TRUE(agent.waitForExit(5s)) << "the wait does not let the signal through";
    EXPECT_EQ(agent.process().exitStatus(), QProcess::NormalExit);
    const auto key = storedSettings();
    ASSERT_TRUE(key.has_value());
    EXPECT_EQ(dword(*key, "CaptureDelay"), 10000u);
}
