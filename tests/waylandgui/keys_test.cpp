// Key bindings on a Wayland desktop: the compositor owns them, so the agent
// grabs nothing, the tray tip claims no conflict, the hotkey dialog shows the
// lines to add, and the lines of --bindings sway, given to sway, make a key
// press (typed through the compositor by wtype) reach the agent as --capture.
#include "DeskAgent.h"
#include "SwayTools.h"
#include "app/TrayIcon.h"
#include "dialogs/Keys.h"
#include "platform/CommandChannel.h"
#include "platform/Hotkeys.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace kaptivus::test;

// Nothing is grabbed and the tray tip claims no conflict; the dialog shows
// the lines to add to sway instead.
TEST(WaylandKeys, HotkeysAreLeftToSwayWithTheLinesToAddShown)
{
    DeskAgent agent;
    agent.tray.ResetHotkeyDefaults();
    agent.tray.RegisterHotkeys();
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(agent.tray.HotkeyStatusOf(i), kaptivus::platform::HotkeyStatus::Unregistered) << i;
    EXPECT_TRUE(agent.tray.TrayIcon1->Notice().isEmpty()) << agent.tray.TrayIcon1->Notice().toStdString();
    const QString program = QCoreApplication::applicationFilePath();
    QString intro;
    QStringList before;
    QStringList after;
    bool readOnly = false;
    bool selectable = false;
    ModalWatcher watcher([&](QWidget* modal) {
        auto* keys = qobject_cast<TKeys1*>(modal);
        if (!keys || !keys->DesktopKeysText) {
            modal->close();
            return;
        }
        intro = keys->DesktopKeysLabel->text();
        before = keys->DesktopKeysText->toPlainText().split(u'\n');
        readOnly = keys->DesktopKeysText->isReadOnly();
        selectable = keys->DesktopKeysText->textInteractionFlags().testFlag(Qt::TextSelectableByMouse);
        keys->KeyChosen(1, 6); // F5 for " Copier bureau + enregistrer"
        after = keys->DesktopKeysText->toPlainText().split(u'\n');
        keys->BitBtn1Click();
    });
    agent.tray.DefineHotkeys(nullptr);
    EXPECT_EQ(watcher.seen, 1);
    EXPECT_TRUE(intro.startsWith("Sous Wayland, le bureau gère les raccourcis")) << intro.toStdString();
    EXPECT_TRUE(intro.contains("sway"));
    EXPECT_TRUE(readOnly);
    EXPECT_TRUE(selectable);
    const QStringList defaults = { QStringLiteral("bindsym Print exec %1 --capture 101").arg(program),
        QStringLiteral("bindsym Mod1+Print exec %1 --capture 104").arg(program) };
    EXPECT_EQ(before.join(u'\n').toStdString(), defaults.join(u'\n').toStdString());
    const QStringList withF5
        = { defaults[0], QStringLiteral("bindsym F5 exec %1 --capture 102").arg(program), defaults[1] };
    EXPECT_EQ(after.join(u'\n').toStdString(), withF5.join(u'\n').toStdString());
}

TEST(WaylandKeys, BindingsPrintedForSwayTakeAKeyPressToTheAgent)
{
    DeskAgent agent;
    agent.tray.chosen = asymmetricPicture();
    const struct {
        int index;
        int key;
        int modifiers;
        const char* combination;
        QStringList wtype;
    } cases[] = {
        { 8, 118, 0, "F7", { "-k", "F7" } },
        { 3, 44, 1, "Mod1+Print", { "-M", "alt", "-k", "Print", "-m", "alt" } },
        { 6, 65, 6, "Ctrl+Shift+a", { "-M", "ctrl", "-M", "shift", "-k", "a", "-m", "shift", "-m", "ctrl" } },
    };
    agent.tray.HotkeyKeys.fill(0);
    agent.tray.HotkeyModifiers.fill(0);
    for (const auto& c : cases) {
        agent.tray.HotkeyKeys[c.index] = c.key;
        agent.tray.HotkeyModifiers[c.index] = c.modifiers;
    }
    agent.tray.SaveSettings();

    const QString binary = QFileInfo(agentProgram()).canonicalFilePath();
    const ToolRun printed = runProgram(binary, { "--bindings", "sway" });
    ASSERT_EQ(printed.exitCode, 0) << printed.err.toStdString();
    QStringList expected;
    for (int i = 0; i < 12; ++i)
        for (const auto& c : cases)
            if (c.index == i)
                expected << QStringLiteral("bindsym %1 exec %2 --capture %3").arg(c.combination, binary).arg(101 + i);
    const QStringList lines = QString::fromUtf8(printed.out).split(u'\n', Qt::SkipEmptyParts);
    EXPECT_EQ(lines.join(u'\n').toStdString(), expected.join(u'\n').toStdString());

    std::vector<int> arrived;
    kaptivus::platform::CommandListener listener;
    listener.onCapture = [&](int action, const kaptivus::platform::OutcomeReply& finished) {
        arrived.push_back(action);
        if (action == 109) return agent.tray.RequestCapture(action, finished);
        finished(kaptivus::platform::Outcome::Done, {});
        return true;
    };
    ASSERT_TRUE(listener.listen(kaptivus::platform::commandChannelPath())) << listener.errorText();
    for (const QString& line : lines)
        EXPECT_TRUE(swaymsg(line)) << line.toStdString();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.combination);
        const int id = 101 + c.index;
        EXPECT_EQ(runProgram("wtype", c.wtype).exitCode, 0);
        EXPECT_TRUE(waitUntil([&] { return std::find(arrived.begin(), arrived.end(), id) != arrived.end(); }))
            << "--capture " << id << " never arrived";
    }
    // The area capture went all the way to the clipboard.
    EXPECT_TRUE(waitUntil([&] { return !agent.tray.CaptureBusy; }));
    const ToolRun paste = runProgram("wl-paste", { "--type", "image/png" });
    EXPECT_EQ(firstDifference(asymmetricPicture(), QImage::fromData(paste.out)), "");
    for (const auto& c : cases)
        swaymsg("unbindsym " + QString::fromLatin1(c.combination));
}
