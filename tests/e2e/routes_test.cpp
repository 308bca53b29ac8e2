// Where a capture ends, checked from outside with the real program: numbered
// files in every format read back by independent tools, the auto-save timer,
// the editor hand-off through a private folder, and the clipboard kept by a
// clipboard manager after the program quits.
#include "AgentProcess.h"
#include "NoLinkMount.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <iostream>
#include <unistd.h>

using namespace kaptivus;
using namespace kaptivus::e2e;

namespace {

constexpr uint32_t keysymF6 = 0xffc3;
constexpr uint32_t keysymE = 0x0065;
const std::string kPictureWindow = "Kaptivus 2000   v5.10 complet";
const std::string kNotice = "Message d'information de Kaptivus 2000";

QString tempPath() { return QDir::cleanPath(QString::fromLocal8Bit(qgetenv("TMPDIR"))); }

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& bytes, bool executable = false)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) return false;
    f.close();
    return !executable || f.setPermissions(f.permissions() | QFile::ExeOwner);
}

// Standard output of a command run without a shell.
QString commandOutput(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(20000) || p.exitCode() != 0) return {};
    return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
}

QString hex(uint32_t v) { return QStringLiteral("dword:%1").arg(v, 8, 16, QLatin1Char('0')); }

// Action 102 (desktop to a numbered file) on F7; action 103 (clipboard) on F6.
std::vector<std::pair<std::string, std::string>> hotkeySettings()
{
    return {{"HotKey1", hex(0x76).toStdString()}, {"IndexH1", hex(8).toStdString()},
            {"HotKey2", hex(0x75).toStdString()}, {"IndexH2", hex(7).toStdString()},
            {"Sound", "dword:00000000"}};
}

test::Window shownWindowTitled(const AgentProcess& agent, const std::string& title)
{
    for (test::Window w : windowsOfPid(agent.pid()))
        if (test::stringProperty(w, "_NET_WM_NAME") == title && test::isViewable(w)) return w;
    return 0;
}

// Opens the picture window with Print Screen and asks for the editor (Ctrl+E).
void editShownPicture(AgentProcess& agent)
{
    ASSERT_TRUE(test::pressKey(test::keysym::Print));
    ASSERT_TRUE(test::waitUntil([&] { return agent.pictureWindowShown(); }, 10s));
    const test::Window w = agent.findWindow(kPictureWindow);
    ASSERT_TRUE(test::waitUntil([&] { return test::activeWindow() == w; }, 5s));
    ASSERT_TRUE(test::pressKey(keysymE, test::Ctrl));
}

struct SavedFormat {
    const char* defaultExt;
    bool transparent;
    const char* extension; // as written
    // What an independent reader says the file is; empty when it cannot read it.
    QString (*describe)(const QString& path);
    QString expected; // "%m %w %h" for the screen, or the marker the reader must show
};

QString identify(const QString& path) { return commandOutput("identify", {"-format", "%m %w %h", path}); }
QString gifTransparency(const QString& path)
{
    return commandOutput("gifsicle", {"--info", path}).contains("transparent") ? "transparent" : "opaque";
}
QString metafileKind(const QString& path)
{
    const QByteArray b = readFile(path);
    if (b.size() > 44 && b.mid(40, 4) == " EMF") return "EMF";
    if (b.startsWith(QByteArray::fromHex("d7cdc69a"))) return "placeable WMF";
    return "unknown";
}

} // namespace

TEST(Routes, NumberedSaveTakesTheNextFreeNumberInEachFormatAndNeverOverwrites)
{
    const test::Rect screen = test::screenSize();
    const QString size = QStringLiteral(" %1 %2").arg(screen.width).arg(screen.height);
    const SavedFormat formats[] = {
        {".GIF", false, ".gif", identify, "GIF" + size},
        {".GIF", true, ".gif", gifTransparency, "transparent"},
        {".BMP", false, ".bmp", identify, "BMP3" + size},
        {".JPG", false, ".jpg", identify, "JPEG" + size},
        {".EMF", false, ".emf", metafileKind, "EMF"},
        {".WMF", false, ".wmf", metafileKind, "placeable WMF"},
        {".PNG", false, ".png", identify, "PNG" + size},
    };
    for (const SavedFormat& f : formats) {
        SCOPED_TRACE(std::string(f.defaultExt) + (f.transparent ? " transparent" : ""));
        // A blank in the folder, a kept file at 1 and a dangling link at 3.
        const QString folder = tempPath() + "/numbered " + QString(f.extension).mid(1) + (f.transparent ? "t" : "");
        ASSERT_TRUE(QDir().mkpath(folder));
        const auto numbered = [&](int n) { return folder + "/MyPicture" + QString::number(n) + f.extension; };
        ASSERT_TRUE(writeFile(numbered(1), "kept"));
        ASSERT_TRUE(QFile::link(folder + "/nowhere", numbered(3)));
        auto settings = hotkeySettings();
        settings.push_back({"AutoFolder", "\"" + folder.toStdString() + "\""});
        settings.push_back({"DefaultExt", "\"" + std::string(f.defaultExt) + "\""});
        settings.push_back({"Transparent", f.transparent ? "dword:00000001" : "dword:00000000"});
        writeSettingsFile(defaultSettingsBody(settings));
        AgentProcess agent;
        ASSERT_TRUE(agent.start());
        for (int expected : {2, 4}) {
            ASSERT_TRUE(test::pressKey(test::keysym::F7));
            ASSERT_TRUE(test::waitUntil([&] { return QFileInfo::exists(numbered(expected)); }, 20s)) << expected;
            EXPECT_EQ(f.describe(numbered(expected)), f.expected) << expected;
            // The save's notice comes just before the gate opens; a key pressed
            // before that is refused, as any hotkey during a capture.
            ASSERT_TRUE(test::waitUntil([&] { return shownWindowTitled(agent, kNotice) != 0; }, 10s));
            ASSERT_TRUE(test::waitUntil([&] { return shownWindowTitled(agent, kNotice) == 0; }, 10s));
        }
        EXPECT_EQ(readFile(numbered(1)), "kept");
        EXPECT_TRUE(QFileInfo(numbered(3)).isSymLink());
        EXPECT_FALSE(QFileInfo::exists(folder + "/nowhere"));
        // Only the lower-case names were written.
        EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot).size(), 4);
        agent.terminate();
        ASSERT_TRUE(agent.waitForExit());
    }
}

namespace {

// The auto-save timer on, every two seconds, numbered BMP files into `folder`.
void writeTimerSettings(const QString& folder)
{
    auto settings = hotkeySettings();
    settings.push_back({"AutoFolder", "\"" + folder.toStdString() + "\""});
    settings.push_back({"AutoSave", "dword:00000001"});
    settings.push_back({"TimerDelay", "dword:00000002"});
    settings.push_back({"DefaultExt", "\".BMP\""});
    writeSettingsFile(defaultSettingsBody(settings));
}

} // namespace

TEST(Routes, AutoSaveTimerWritesItsFirstFileAfterTheDelay)
{
    const QString folder = tempPath() + "/timer";
    ASSERT_TRUE(QDir().mkpath(folder));
    writeTimerSettings(folder);
    AgentProcess agent;
    const auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(agent.start());
    const QString first = folder + "/MyPicture1.bmp";
    ASSERT_TRUE(test::waitUntil([&] { return QFileInfo::exists(first); }, 15s));
    EXPECT_GE(std::chrono::steady_clock::now() - started, 2s);
    // The next tick takes the next number.
    EXPECT_TRUE(test::waitUntil([&] { return QFileInfo::exists(folder + "/MyPicture2.bmp"); }, 15s));
    agent.terminate();
    ASSERT_TRUE(agent.waitForExit());
}

// On FUSE, SMB and shared-folder mounts, which have neither an exclusive
// rename nor hard links nor permissions, every numbered save and every timer
// tick failed with "Invalid Picture Type".
TEST(Routes, NumberedSavesAndTimerTicksFailedOnMountsWithoutLinks)
{
    const test::Rect screen = test::screenSize();
    for (const char* chmodError : {"ENOSYS", "EPERM"}) {
        SCOPED_TRACE(chmodError);
        test::NoLinkMount mount((tempPath() + "/mount-" + chmodError).toStdString(), chmodError);
        if (!mount.skipReason().empty()) GTEST_SKIP() << mount.skipReason();
        const QString folder = QString::fromStdString(mount.path().string());
        writeTimerSettings(folder);
        // The agent inherits the test's private mount namespace.
        AgentProcess agent;
        ASSERT_TRUE(agent.start());
        const auto numbered = [&](int n) { return folder + "/MyPicture" + QString::number(n) + ".bmp"; };
        ASSERT_TRUE(test::waitUntil([&] { return QFileInfo::exists(numbered(1)); }, 15s)) << agent.output().toStdString();
        ASSERT_TRUE(test::waitUntil([&] { return shownWindowTitled(agent, kNotice) == 0; }, 10s));
        ASSERT_TRUE(test::pressKey(test::keysym::F7));
        ASSERT_TRUE(test::waitUntil([&] { return QFileInfo::exists(numbered(2)); }, 15s));
        for (int n : {1, 2})
            EXPECT_EQ(commandOutput("identify", {"-format", "%m %w %h", numbered(n)}),
                      QStringLiteral("BMP3 %1 %2").arg(screen.width).arg(screen.height));
        EXPECT_EQ(shownWindowTitled(agent, "Attention"), 0u);
        EXPECT_EQ(shownWindowTitled(agent, "Erreur"), 0u);
        agent.terminate();
        ASSERT_TRUE(agent.waitForExit());
    }
}

TEST(Routes, EditorGetsTheHandOffFileAsOneArgumentWithoutAShell)
{
    // The private folder has a blank; the programs record their arguments.
    const QString temp = tempPath() + "/with blank";
    const QString runtime = tempPath() + "/run time";
    const QString bin = tempPath() + "/bin";
    ASSERT_TRUE(QDir().mkpath(temp) && QDir().mkpath(bin) && QDir().mkpath(runtime));
    ASSERT_TRUE(QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    const QString record = tempPath() + "/arguments";
    const QByteArray recorder = "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" > '" + record.toLocal8Bit() + "'\n";
    ASSERT_TRUE(writeFile(bin + "/editor program", recorder, true));
    ASSERT_TRUE(writeFile(bin + "/xdg-open", recorder, true));
    ASSERT_TRUE(QDir().mkpath(bin + "/failing-opener"));
    ASSERT_TRUE(writeFile(bin + "/failing-opener/xdg-open", "#!/bin/sh\nexit 3\n", true));
    const QString handOff = runtime + "/~MyBitmap.Bmp";
    struct Case {
        const char* name;
        QString editor;
        QString path; // PATH for the agent
        bool started;  // the recorder ran with the file
    } cases[] = {
        {"chosen editor", bin + "/editor program", bin + ":/usr/bin:/bin", true},
        {"desktop opener", "", bin + ":/usr/bin:/bin", true},
        {"editor that is not there", bin + "/missing", bin + ":/usr/bin:/bin", false},
        {"opener that finds no program", "", bin + "/failing-opener:/usr/bin:/bin", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(record);
        auto settings = hotkeySettings();
        settings.push_back({"Editor", "\"" + c.editor.toStdString() + "\""});
        writeSettingsFile(defaultSettingsBody(settings));
        AgentProcess agent;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("TMPDIR", temp);
        env.insert("XDG_RUNTIME_DIR", runtime);
        env.insert("PATH", c.path);
        agent.process().setProcessEnvironment(env);
        ASSERT_TRUE(agent.start()) << agent.output().toStdString();
        editShownPicture(agent);
        if (c.started) {
            ASSERT_TRUE(test::waitUntil([&] { return readFile(record).count('\n') == 2; }, 10s));
            EXPECT_EQ(QString::fromLocal8Bit(readFile(record)), "1\n" + handOff + "\n");
        } else {
            // The message box carries the application's title, as does the
            // untitled tray icon window; the box is the one over the picture window.
            test::Window box = 0;
            ASSERT_TRUE(test::waitUntil([&] {
                for (test::Window w : windowsOfPid(agent.pid()))
                    if (test::stringProperty(w, "_NET_WM_NAME") == "Kaptivus2000" && test::isViewable(w) &&
                        test::windowProperty(w, "WM_TRANSIENT_FOR"))
                        box = w;
                return box != 0;
            }, 10s));
            test::pressKey(test::keysym::Return);
            EXPECT_TRUE(test::waitUntil([&] { return !test::isViewable(box); }, 5s));
        }
        // The file is there either way, a 24-bit BMP of the screen.
        const test::Rect screen = test::screenSize();
        EXPECT_EQ(commandOutput("identify", {"-format", "%m %w %h %z", handOff}),
                  QStringLiteral("BMP3 %1 %2 8").arg(screen.width).arg(screen.height));
        agent.terminate();
        ASSERT_TRUE(agent.waitForExit());
    }
}

// A stale link at the hand-off name blocked "Editer" for good, and another user
// could plant the name in the shared temporary folder.
TEST(Routes, StaleLinkAtTheHandOffFileBlockedTheEditor)
{
    const QString temp = tempPath();
    const QString victim = temp + "/victim";
    ASSERT_TRUE(writeFile(victim, "victim"));
    // Planted in the shared folder: no longer where the hand-off goes.
    ASSERT_TRUE(QFile::link(victim, temp + "/~MyBitmap.Bmp"));
    const QString record = temp + "/arguments";
    ASSERT_TRUE(writeFile(temp + "/editor", "#!/bin/sh\nprintf '%s' \"$1\" > '" + record.toLocal8Bit() + "'\n", true));
    const QString runtime = temp + "/runtime";
    ASSERT_TRUE(QDir().mkpath(runtime));
    ASSERT_TRUE(QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    const struct {
        const char* name;
        QString runtime; // XDG_RUNTIME_DIR, empty for none
        QString tmpdir;  // TMPDIR
        QString folder;  // where the hand-off file goes; planted by another user when `taken`
        bool taken;
    } cases[] = {
        {"runtime folder", runtime, temp, runtime, false},
        {"no runtime folder", {}, temp, temp + "/kaptivus2000-" + QString::number(::geteuid()), false},
        {"own folder's name taken", {}, temp + "/shared", temp + "/shared/kaptivus2000-" + QString::number(::geteuid()),
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(QDir().mkpath(c.folder));
        ASSERT_TRUE(QFile::setPermissions(c.folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        const QString handOff = c.folder + "/~MyBitmap.Bmp";
        ASSERT_TRUE(QFile::link(victim, handOff));
        if (c.taken && ::geteuid() != 0) {
            std::cout << "[ SKIPPED CASE ] " << c.name << ": giving a folder to another user needs root" << std::endl;
            continue;
        }
        if (c.taken) { ASSERT_EQ(::chown(QFile::encodeName(c.folder).constData(), 65534, 65534), 0); }
        QFile::remove(record);
        auto settings = hotkeySettings();
        settings.push_back({"Editor", "\"" + (temp + "/editor").toStdString() + "\""});
        writeSettingsFile(defaultSettingsBody(settings));
        AgentProcess agent;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (c.runtime.isEmpty()) env.remove("XDG_RUNTIME_DIR");
        else env.insert("XDG_RUNTIME_DIR", c.runtime);
        env.insert("TMPDIR", c.tmpdir);
        agent.process().setProcessEnvironment(env);
        ASSERT_TRUE(agent.start()) << agent.output().toStdString();
        editShownPicture(agent);
        // The editor gets the program's own file, which replaced the link
        // itself, or went to a fresh folder beside one another user holds.
        ASSERT_TRUE(test::waitUntil([&] { return !readFile(record).isEmpty(); }, 10s)) << agent.output().toStdString();
        const QString edited = QString::fromLocal8Bit(readFile(record));
        if (c.taken) {
            EXPECT_TRUE(edited.startsWith(c.folder + "-") && edited.endsWith("/~MyBitmap.Bmp")) << edited.toStdString();
            EXPECT_TRUE(QFileInfo(handOff).isSymLink());
        } else {
            EXPECT_EQ(edited, handOff);
            EXPECT_FALSE(QFileInfo(handOff).isSymLink());
        }
        EXPECT_TRUE(readFile(edited).startsWith("BM"));
        EXPECT_EQ(readFile(victim), "victim");
        EXPECT_EQ(QFileInfo(temp + "/~MyBitmap.Bmp").symLinkTarget(), victim);
        agent.terminate();
        ASSERT_TRUE(agent.waitForExit());
    }
}

TEST(Routes, ClipboardPictureOutlivesTheProgramThroughAClipboardManager)
{
    // A clipboard manager from the desktop, on a bus of its own so the agent
    // keeps its usual tray; its pid is printed so it can be ended alone.
    QProcess manager;
    manager.start("dbus-run-session", {"--", "sh", "-c", "xfce4-clipman >/dev/null 2>&1 & echo $!; wait"});
    ASSERT_TRUE(manager.waitForStarted(5000));
    ASSERT_TRUE(test::waitUntil([&] { return manager.canReadLine() || manager.waitForReadyRead(10); }, 10s));
    const qint64 managerPid = manager.readLine().trimmed().toLongLong();
    ASSERT_GT(managerPid, 0);
    struct EndManager {
        qint64 pid;
        QProcess& session;
        ~EndManager()
        {
            ::kill(pid_t(pid), SIGTERM);
            session.waitForFinished(10000);
        }
    } endManager{managerPid, manager};
    ASSERT_TRUE(test::waitUntil([&] { return test::selectionOwner("CLIPBOARD_MANAGER") != 0; }, 20s));

    writeSettingsFile(defaultSettingsBody(hotkeySettings()));
    const test::Rect screen = test::screenSize();
    test::PictureWindow known(screen, [](int x, int y) { return uint32_t((x * 5) & 0xFF) << 16 | uint32_t(y & 0xFF); });
    AgentProcess agent;
    ASSERT_TRUE(agent.start());
    ASSERT_TRUE(test::pressKey(keysymF6));
    ASSERT_TRUE(test::waitUntil([&] { return shownWindowTitled(agent, kNotice) != 0; }, 10s))
        << agent.output().toStdString();
    agent.terminate();
    ASSERT_TRUE(agent.waitForExit(15s));

    QProcess xclip;
    xclip.start("xclip", {"-selection", "clipboard", "-t", "image/png", "-o"});
    ASSERT_TRUE(xclip.waitForFinished(10000));
    const QImage picture = QImage::fromData(xclip.readAllStandardOutput(), "PNG");
    ASSERT_EQ(picture.width(), screen.width);
    EXPECT_EQ(picture.pixel(10, 20) & 0xFFFFFF, (uint32_t(50) << 16) | 20u);
}
