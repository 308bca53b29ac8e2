// The login autostart entry: where it goes and how the program path is written into it.
#include "config/Autostart.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char** environ;

namespace kaptivus::config {
namespace {

TEST(Autostart, FileFollowsXdgConfigHomeThenHome)
{
    struct Case {
        const char* xdg;
        const char* home;
        const char* expected;
    };
    const Case cases[] = {
        { "/x/config", "/home/u", "/x/config/autostart/org.kaptivus.kaptivus2000.desktop" },
        { nullptr, "/home/u", "/home/u/.config/autostart/org.kaptivus.kaptivus2000.desktop" },
        { "", "/home/u", "/home/u/.config/autostart/org.kaptivus.kaptivus2000.desktop" },
        // A relative XDG_CONFIG_HOME is invalid and must be ignored.
        { "rel/config", "/home/u", "/home/u/.config/autostart/org.kaptivus.kaptivus2000.desktop" },
        { nullptr, nullptr, "" },
        { nullptr, "relative", "" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(autostartFile(c.xdg, c.home).string(), c.expected) << (c.xdg ? c.xdg : "(unset)");
}

TEST(Autostart, ExecValueQuotesReservedCharactersAndEscapesTwice)
{
    const std::pair<const char*, const char*> cases[] = {
        { "/usr/bin/kaptivus2000", "/usr/bin/kaptivus2000" },
        { "/opt/my apps/kaptivus2000", "\"/opt/my apps/kaptivus2000\"" },
        // Inside the quotes $, ` and " take a backslash, a backslash takes
        // another, and the string syntax then doubles every backslash.
        { "/opt/$x/`k`", "\"/opt/\\\\$x/\\\\`k\\\\`\"" },
        { "/opt/a\\b", "\"/opt/a\\\\\\\\b\"" },
        { "/opt/a\"b", "\"/opt/a\\\\\"b\"" },
        { "/opt/a\nb", "\"/opt/a\\nb\"" },
        // % is a field code unless doubled, and launchers look for the first
        // word's file before undoubling it: such a path goes behind env.
        { "/opt/100%/k", "/usr/bin/env /opt/100%%/k" },
        { "/opt/%f y/k", "/usr/bin/env \"/opt/%%f y/k\"" },
    };
    for (const auto& [program, expected] : cases) EXPECT_EQ(desktopExecValue(program), expected) << program;
}

TEST(Autostart, PathsNoDesktopEntryCanExpressAreRefusedWithAReason)
{
    struct Case {
        std::string program;
        const char* reason; // nullptr: accepted
    };
    const Case cases[] = {
        { "/usr/bin/kaptivus2000", nullptr },
        { "/opt/a\tb\nc\rd/kaptivus2000", nullptr },
        { "/opt/100%/k", nullptr },
        { "/opt/a=b/k", nullptr },
        { "/opt/\xc3\xa9t\xc3\xa9/k", nullptr },
        { "/opt/\xff/k", "not UTF-8" },
        { "/opt/\xc3/k", "not UTF-8" },
        { "/opt/a\x01" "b/k", "control characters" },
        { "/opt/a\x7f/k", "control characters" },
        { "/opt/100%=/k", "both % and =" },
        { "relative/k", "not absolute" },
        { "", "not absolute" },
    };
    for (const Case& c : cases) {
        const std::string refusal = autostartRefusal(c.program);
        if (!c.reason) {
            EXPECT_EQ(refusal, "") << c.program;
            continue;
        }
        EXPECT_NE(refusal.find(c.reason), std::string::npos) << refusal;
        // The message shows the path without raw control or stray bytes.
        for (const char ch : refusal) EXPECT_TRUE(static_cast<unsigned char>(ch) >= 0x20 && ch != 0x7f) << refusal;
        const auto folder = std::filesystem::temp_directory_path() / "refused-autostart";
        const Status written = enableAutostart(folder / "kaptivus2000.desktop", c.program);
        EXPECT_EQ(written.error, refusal);
        EXPECT_FALSE(std::filesystem::exists(folder)) << "written anyway: " << c.program;
    }
}

bool waitForFile(const std::filesystem::path& file, std::chrono::seconds deadline)
{
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!std::filesystem::exists(file)) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// `gio launch FILE`, without a session bus; its exit status.
int gioLaunch(const std::filesystem::path& entry)
{
    std::vector<std::string> env { "DBUS_SESSION_BUS_ADDRESS=disabled:" };
    for (char** e = environ; *e; ++e)
        if (std::string_view(*e).rfind("DBUS_SESSION_BUS_ADDRESS=", 0) != 0) env.emplace_back(*e);
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string gio = "gio", launch = "launch", file = entry.string();
    char* argv[] = { gio.data(), launch.data(), file.data(), nullptr };
    pid_t pid;
    if (posix_spawnp(&pid, "gio", nullptr, nullptr, argv, envp.data()) != 0) return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// What a desktop's launcher really runs: each odd folder holds a program that
// leaves a mark beside the path it was started as; its entry is launched by gio.
TEST(Autostart, LauncherStartsTheProgramWhateverItsPathHolds)
{
    if (!std::filesystem::exists("/usr/bin/gio")) GTEST_SKIP() << "gio (libglib2.0-bin) is not installed";
    const auto root = std::filesystem::temp_directory_path() / "odd-paths";
    const char* names[] = { "plain", "my apps", "100%", "%f", "%%", "a%20b", "x%u y", "%", "it's", "back\\slash",
        "quote\"d", "$HOME", "`tick`", "tab\there", "new\nline", "semi;colon", "~tilde", "a=b", "\xc3\xa9t\xc3\xa9",
        "hash#", "(paren)", "a%%b c", "star*?" };
    for (const char* name : names) {
        const auto program = root / name / "kaptivus2000";
        std::filesystem::create_directories(program.parent_path());
        std::ofstream(program) << "#!/bin/sh\n: > \"$0.ran\"\n";
        std::filesystem::permissions(program, std::filesystem::perms::owner_all);
        const auto entry = root / "kaptivus2000.desktop";
        ASSERT_TRUE(enableAutostart(entry, program.string())) << name;
        EXPECT_EQ(gioLaunch(entry), 0) << name;
        EXPECT_TRUE(waitForFile(program.string() + ".ran", std::chrono::seconds(10)))
            << name << " not started by " << autostartEntry(program.string());
    }
}

TEST(Autostart, EntryStartsTheProgramAtLoginWithoutStartupNotice)
{
    const std::string entry = autostartEntry("/usr/bin/kaptivus2000");
    EXPECT_EQ(entry.rfind("[Desktop Entry]\n", 0), 0u);
    for (const char* line : { "\nType=Application\n", "\nExec=/usr/bin/kaptivus2000\n", "\nName=Kaptivus 2000\n",
             "\nIcon=kaptivus2000\n", "\nStartupNotify=false\n", "\nTerminal=false\n" })
        EXPECT_NE(entry.find(line), std::string::npos) << line;
}

// An entry under the earlier name keeps starting the program: it moves to the
// current name as it was, and --autostart replaces or removes it with the current one.
TEST(Autostart, EntryUnderTheEarlierNameMovesOrGoes)
{
    const std::string legacyText = "[Desktop Entry]\nType=Application\nName=Mine\nExec=/opt/k/kaptivus2000\n";
    const struct {
        const char* name;
        bool legacy;  // an entry under the earlier name beforehand
        bool current; // an entry under the current name beforehand
        int action;   // 0 migrate, 1 --autostart on, 2 --autostart off
        bool legacyAfter;
        const char* currentAfter; // the current entry's Name line, or "" for none
    } cases[] = {
        { "earlier entry moves as it was", true, false, 0, false, "Name=Mine" },
        { "both: the current one stays", true, true, 0, true, "Name=Now" },
        { "none: nothing written", false, false, 0, false, "" },
        { "on replaces the earlier entry", true, false, 1, false, "Name=Kaptivus 2000" },
        { "off removes the earlier entry too", true, true, 2, false, "" },
    };
    for (const auto& c : cases) {
        const auto folder = std::filesystem::path(::testing::TempDir()) / "autostart-migration" / c.name;
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        const auto current = folder / "org.kaptivus.kaptivus2000.desktop";
        const auto legacy = folder / "kaptivus2000.desktop";
        EXPECT_EQ(legacyAutostartFile(current), legacy);
        if (c.legacy) std::ofstream(legacy) << legacyText;
        if (c.current) std::ofstream(current) << "[Desktop Entry]\nName=Now\n";
        const Status done = c.action == 0 ? migrateAutostart(current)
            : c.action == 1                ? enableAutostart(current, "/usr/bin/kaptivus2000")
                                           : disableAutostart(current);
        EXPECT_TRUE(done) << c.name << ": " << done.error;
        EXPECT_EQ(std::filesystem::exists(legacy), c.legacyAfter) << c.name;
        std::string text;
        if (std::ifstream in(current); in) text.assign(std::istreambuf_iterator<char>(in), {});
        if (*c.currentAfter) {
            EXPECT_NE(text.find(std::string("\n") + c.currentAfter + "\n"), std::string::npos) << c.name << ": " << text;
        } else {
            EXPECT_TRUE(text.empty()) << c.name << ": " << text;
        }
        if (c.action == 0 && c.legacy && !c.current) {
            EXPECT_EQ(text, legacyText) << c.name;
        }
    }
}

TEST(Autostart, WithoutAnyConfigFolderBothDirectionsFailWithAReason)
{
    const Status on = enableAutostart({}, "/usr/bin/kaptivus2000");
    const Status off = disableAutostart({});
    EXPECT_FALSE(on);
    EXPECT_FALSE(off);
    EXPECT_NE(on.error.find("HOME"), std::string::npos);
}

} // namespace
} // namespace kaptivus::config
