// The login autostart entry: where it goes and how the program path is written into it.
#include "config/Autostart.h"

#include <gtest/gtest.h>

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
        { "/x/config", "/home/u", "/x/config/autostart/kaptivus2000.desktop" },
        { nullptr, "/home/u", "/home/u/.config/autostart/kaptivus2000.desktop" },
        { "", "/home/u", "/home/u/.config/autostart/kaptivus2000.desktop" },
        // A relative XDG_CONFIG_HOME is invalid and must be ignored.
        { "rel/config", "/home/u", "/home/u/.config/autostart/kaptivus2000.desktop" },
        { nullptr, nullptr, "" },
        { nullptr, "relative", "" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(autostartFile(c.xdg, c.home).string(), c.expected) << (c.xdg ? c.xdg : "(unset)");
}

TEST(Autostart, ExecArgumentQuotesReservedCharactersAndEscapesTwice)
{
    const std::pair<const char*, const char*> cases[] = {
        { "/usr/bin/kaptivus2000", "/usr/bin/kaptivus2000" },
        { "/opt/my apps/kaptivus2000", "\"/opt/my apps/kaptivus2000\"" },
        // Inside the quotes $, ` and " take a backslash, a backslash takes
        // another, and the string syntax then doubles every backslash.
        { "/opt/$x/`k`", "\"/opt/\\\\$x/\\\\`k\\\\`\"" },
        { "/opt/a\\b", "\"/opt/a\\\\\\\\b\"" },
        { "/opt/a\"b", "\"/opt/a\\\\\"b\"" },
        // % is a field code unless doubled; alone it needs no quotes.
        { "/opt/100%/k", "/opt/100%%/k" },
        { "/opt/a\nb", "\"/opt/a\\nb\"" },
    };
    for (const auto& [program, expected] : cases) EXPECT_EQ(desktopExecArgument(program), expected) << program;
}

TEST(Autostart, EntryStartsTheProgramAtLoginWithoutStartupNotice)
{
    const std::string entry = autostartEntry("/usr/bin/kaptivus2000");
    EXPECT_EQ(entry.rfind("[Desktop Entry]\n", 0), 0u);
    for (const char* line : { "\nType=Application\n", "\nExec=/usr/bin/kaptivus2000\n", "\nName=Kaptivus 2000\n",
             "\nIcon=kaptivus2000\n", "\nStartupNotify=false\n", "\nTerminal=false\n" })
        EXPECT_NE(entry.find(line), std::string::npos) << line;
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
