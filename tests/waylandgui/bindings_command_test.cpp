// kaptivus2000 --bindings sway with settings files as users leave them: read
// defensively, never changed, every problem said on standard error.
#include "SwayTools.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kaptivus::test;

namespace {

QByteArray record(const QByteArray& values)
{
    return "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\SOFTWARE\\Kaptivus2000\\V5.10]\n" + values;
}

} // namespace

TEST(BindingsCommand, SettingsFilesAreReadDefensivelyAndLeftAsTheyAre)
{
    const QString binary = QFileInfo(agentProgram()).canonicalFilePath();
    const QString print = QStringLiteral("bindsym Print exec %1 --capture 101").arg(binary);
    const QString altPrint = QStringLiteral("bindsym Mod1+Print exec %1 --capture 104").arg(binary);
    const struct {
        const char* name;
        std::optional<QByteArray> file;
        QStringList lines;
        const char* error; // part of the standard error, "" for none
    } cases[] = {
        { "no settings yet", std::nullopt, { print, altPrint }, "" },
        { "hotkeys of the user's own",
            record("\"HotKey0\"=dword:00000000\n\"HotKey3\"=dword:00000000\n\"HotKey6\"=dword:00000041\n"
                   "\"Modifier6\"=dword:00000003\n"),
            { QStringLiteral("bindsym Mod1+Ctrl+a exec %1 --capture 107").arg(binary) }, "" },
        { "a value of the wrong type keeps its default", record("\"HotKey0\"=\"Print\"\n"), { print, altPrint }, "" },
        { "a key code sway has no name for", record("\"HotKey3\"=dword:0000ffff\n"), { print },
            "hotkey 104 has key code 65535" },
        { "modifier flags that mean nothing", record("\"Modifier0\"=dword:ffffffff\n"), { altPrint },
            "hotkey 101 has key code 44 and modifiers -1" },
        { "not a settings file", QByteArray("\x00\x01garbage", 9), { print, altPrint }, "could not be read" },
        { "larger than a settings file may be", record(QByteArray(5 << 20, ';')), { print, altPrint },
            "could not be read" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir config;
        const QString file = config.filePath("Kaptivus2000/registry.reg");
        if (c.file) {
            ASSERT_TRUE(QDir(config.path()).mkpath("Kaptivus2000"));
            QFile out(file);
            ASSERT_TRUE(out.open(QIODevice::WriteOnly));
            out.write(*c.file);
        }
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_CONFIG_HOME", config.path());
        const ToolRun run = runProgram(binary, { "--bindings", "sway" }, {}, environment);
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(QString::fromUtf8(run.out).split(u'\n', Qt::SkipEmptyParts).join(u'\n').toStdString(),
            c.lines.join(u'\n').toStdString());
        if (*c.error)
            EXPECT_TRUE(run.err.contains(c.error)) << run.err.toStdString();
        else
            EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
        // Read only: the file is where it was, as it was, and nothing is set aside.
        EXPECT_EQ(QDir(config.filePath("Kaptivus2000")).entryList(QDir::Files),
            c.file ? QStringList { "registry.reg" } : QStringList {});
        if (c.file) {
            QFile in(file);
            ASSERT_TRUE(in.open(QIODevice::ReadOnly));
            EXPECT_TRUE(in.readAll() == *c.file);
        }
    }
}
