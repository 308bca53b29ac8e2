// The agent reading its settings file in-process: values that cannot be read,
// stored values out of bounds, files others could write; and the agent's waits,
// which keep its event loop running.
#include "app/Tray.h"
#include "app/Wiring.h"
#include "config/RegistryFormat.h"
#include "config/RegistryStore.h"
#include "dialogs/Info.h"
#include "picture/Main.h"

#include <QTimer>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <regex>
#include <unistd.h>

using namespace std::chrono_literals;
using namespace kaptivus;
using ::testing::HasSubstr;
using ::testing::Not;
namespace fs = std::filesystem;

namespace {

// The capture itself is the engine's business: an area choice is cancelled at once.
class WaitingAgent : public TTray1 {
public:
    void CaptureByHotkey(int id) override { captures.push_back(id); }
    bool CaptureArea() override
    {
        ++areaChoices;
        return false;
    }
    std::vector<int> captures;
    int areaChoices = 0;
};

struct Agent {
    WaitingAgent tray;
    TMain1 main1{&tray};
    TInfo1 info1;
    Agent()
    {
        WireWindows(tray, main1, info1);
        main1.FormCreate();
    }
    QString notice() const { return info1.isVisible() ? info1.Label1->text() : QString(); }
};

fs::path settingsFile() { return config::defaultRegistryPath(); }

std::string readBytes(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const fs::path& file, const std::string& bytes)
{
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

config::RegistryKeyData storedKey()
{
    const auto parsed = config::parseRegistry(readBytes(settingsFile()));
    const config::RegistryKeyData* key = parsed.ok() ? parsed.document->findKey(config::kSettingsKey) : nullptr;
    return key ? *key : config::RegistryKeyData{};
}

// The file a first start writes, with the line of each named value replaced
// (an empty replacement drops the line).
std::string defaultsWith(const std::vector<std::pair<std::string, std::string>>& lines)
{
    fs::remove(settingsFile());
    { Agent first; }
    std::string text = readBytes(settingsFile());
    for (const auto& [name, line] : lines) {
        const std::regex old("\"" + name + "\"=[^\n]*\n");
        EXPECT_TRUE(std::regex_search(text, old)) << name;
        text = std::regex_replace(text, old, line.empty() ? std::string() : line + "\n");
    }
    return text;
}

std::string dwordLine(const std::string& name, uint32_t v)
{
    char hex[16];
    std::snprintf(hex, sizeof hex, "%08x", v);
    return "\"" + name + "\"=dword:" + hex;
}

} // namespace

// Regression: one mistyped line reset every setting (hotkeys, history, folders,
// editor, colours), although the notice said "some".
TEST(StoredSettings, OneBadValueCostsOnlyThatValue)
{
    struct Bad {
        const char* name;
        std::string line; // as found in the file; empty: the line is missing
    };
    const Bad bad[] = {
        {"Width", "\"Width\"=hello"},                   // cannot be decoded
        {"Color2", "\"Color2\"=\"red\""},               // a text for a number
        {"Footer", "\"Footer\"=\"no closing quote"},    // a text that cannot be decoded
        {"DefaultFile", "\"DefaultFile\"=\"\xC3\x28\""}, // invalid UTF-8
        {"Frame", ""},                                   // missing
        {"Hist2", "\"Hist2\"=dword:00000001"},           // a number for a text
        {"Grayed", "\"Grayed\"=dword:zz"},
        {"HotKey3", "\"HotKey3\"=hex:2c,00,00,00"},
    };
    // Stored values other than the defaults, read before and after the bad ones.
    const std::vector<std::pair<std::string, std::string>> kept{
        {"Copies", dwordLine("Copies", 5)},          {"Color1", dwordLine("Color1", 0xff)},
        {"Brightness", dwordLine("Brightness", 50)}, {"Rotation", dwordLine("Rotation", 90)},
        {"Hist1", "\"Hist1\"=\"/tmp/a.gif\""},     {"Hist13", "\"Hist13\"=\"/tmp/m.gif\""},
        {"Editor", "\"Editor\"=\"/usr/bin/true\""}, {"DefaultExt", "\"DefaultExt\"=\".JPG\""},
        {"CustomW", dwordLine("CustomW", 100)},      {"ClosePrint", dwordLine("ClosePrint", 0)},
    };
    std::vector<std::pair<std::string, std::string>> lines = kept;
    for (const Bad& b : bad) lines.emplace_back(b.name, b.line);
    const std::string file = defaultsWith(lines);
    config::RegistryKeyData expected = storedKey(); // the defaults, as the first start wrote them
    writeBytes(settingsFile(), file);

    Agent a;
    // Every value holds what was stored, or its default where it could not be read.
    const config::RegistryKeyData stored = storedKey();
    for (const auto& [name, line] : kept) {
        const auto parsed = config::parseRegistry("Windows Registry Editor Version 5.00\n[K]\n" + line + "\n");
        expected.setValue(parsed.document->keys.front().values.front());
    }
    EXPECT_EQ(stored.values.size(), 127u);
    for (const config::RegistryValue& value : expected.values) {
        const config::RegistryValue* got = stored.findValue(value.name);
        ASSERT_NE(got, nullptr) << value.name;
        EXPECT_EQ(*got, value) << value.name;
    }
    // The user is told which values were reset, and the file as it was is kept.
    const QString notice = a.notice();
    for (const Bad& b : bad) EXPECT_THAT(notice.toStdString(), HasSubstr("\"" + std::string(b.name) + "\"")) << b.name;
    for (const auto& [name, line] : kept) EXPECT_THAT(notice.toStdString(), Not(HasSubstr("\"" + name + "\"")));
    EXPECT_EQ(readBytes(config::keptCopyName(settingsFile(), 0)), file);
}

// Regression: a stored "CaptureDelay" of 0x7fffffff froze the agent for 24.8 days
// on "Zone"; "CustomW" of 0x80000000 overflowed the selector's arithmetic.
TEST(StoredSettings, DelaysAndSizesAreBoundedToWhatTheMenusOffer)
{
    struct Case {
        const char* name;
        uint32_t stored;
        int used;
        std::function<int(const TTray1&)> value;
    };
    const auto delay = [](const TTray1& t) { return t.CaptureDelay; };
    const auto timer = [](const TTray1& t) { return t.TimerDelay; };
    const auto width = [](const TTray1& t) { return t.CustomW; };
    const auto height = [](const TTray1& t) { return t.CustomH; };
    const Case cases[] = {
        {"CaptureDelay", 0x7fffffff, 10000, delay}, {"CaptureDelay", 0x80000000, 1000, delay},
        {"CaptureDelay", 1500, 1500, delay},        {"TimerDelay", 0, 10, timer},
        {"TimerDelay", 0xffffffff, 10, timer},      {"TimerDelay", 0x7fffffff, 1800, timer},
        {"CustomW", 0x80000000, 16, width},         {"CustomW", 100, 100, width},
        {"CustomH", 0x7fffffff, 32767, height},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.stored));
        writeBytes(settingsFile(), defaultsWith({{c.name, dwordLine(c.name, c.stored)}}));
        Agent a;
        EXPECT_EQ(c.value(a.tray), c.used);
        EXPECT_EQ(a.notice(), QString()); // bounded, not reset: nothing to tell
    }
}

// Like ssh with its configuration: what others could have written names no program
// to run. Another owner can only be arranged as root.
TEST(StoredSettings, EditorFromAFileOthersCouldWriteIsNotTaken)
{
    struct Case {
        const char* what;
        std::function<void()> arrange;
        bool taken;
        bool asRootOnly = false;
    };
    const fs::path folder = settingsFile().parent_path();
    const Case cases[] = {
        {"own private folder", [] {}, true},
        {"folder writable by all", [&] { ::chmod(folder.c_str(), 0777); }, false},
        {"file writable by all", [&] { ::chmod(settingsFile().c_str(), 0666); }, false},
        {"folder of another user", [&] { ASSERT_EQ(::chown(folder.c_str(), 65534, 65534), 0); }, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.asRootOnly && ::geteuid() != 0) continue;
        writeBytes(settingsFile(), defaultsWith({{"Editor", "\"Editor\"=\"/usr/bin/true\""}}));
        c.arrange();
        Agent a;
        EXPECT_EQ(a.tray.editor(), c.taken ? QStringLiteral("/usr/bin/true") : QString());
        if (c.taken)
            EXPECT_EQ(a.notice(), QString());
        else
            EXPECT_THAT(a.notice().toStdString(), HasSubstr("could have been changed by another user"));
        ASSERT_EQ(::chown(folder.c_str(), ::getuid(), ::getgid()), 0);
        ::chmod(folder.c_str(), 0700);
        ::chmod(settingsFile().c_str(), 0600);
    }
}

// Regression: the waits before a grab were blocking sleeps, so the agent answered
// nothing meanwhile (its menu, a quit signal) for as long as a stored delay said.
TEST(AgentWaits, WaitsKeepTheLoopRunningWithTheGateShutAndTheirLength)
{
    struct Case {
        const char* what;
        std::chrono::milliseconds length;
        std::function<void(Agent&)> run;
    };
    const Case cases[] = {
        {"Zone after the two-second delay", 1200ms, [](Agent& a) { a.tray.PictureWindowCapture(true); }},
        {"desktop grab", 50ms, [](Agent& a) { a.tray.CaptureDesktop(); }},
        {"picture of the active window", 250ms, [](Agent& a) { a.tray.GetPicturefromKaptivus1Click(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Agent a;
        a.tray.CaptureDelay = 2000;
        bool ran = false;
        bool shut = false;
        QTimer::singleShot(c.length / 2, &a.tray, [&] {
            ran = true;
            shut = a.tray.CaptureBusy;
            a.tray.HotkeyPressed(101);
        });
        const auto start = std::chrono::steady_clock::now();
        c.run(a);
        EXPECT_GE(std::chrono::steady_clock::now() - start, c.length);
        EXPECT_TRUE(ran) << "the event loop was blocked";
        EXPECT_TRUE(shut);
        EXPECT_TRUE(a.tray.captures.empty()) << "a capture started inside the wait";
        EXPECT_FALSE(a.tray.CaptureBusy) << "the gate stays shut after the wait";
    }
}

TEST(AgentWaits, EndingTheAgentEndsAWaitAtOnce)
{
    Agent a;
    a.tray.CaptureDelay = 10000;
    QTimer::singleShot(100ms, &a.tray, [&] { a.tray.QuitAgent(); });
    const auto start = std::chrono::steady_clock::now();
    a.tray.PictureWindowCapture(true);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_EQ(a.tray.areaChoices, 0);
}
