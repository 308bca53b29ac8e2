// The agent's hotkeys through the desktop's GlobalShortcuts portal, end to end
// on real parts: the agent binds its actions through the portal, the KDE
// back-end hands them to kglobalaccel, and kglobalaccel's invokeShortcut
// stands for the user's key press; the portal's Activated signal then goes
// through the agent's hotkey gate to a real capture, checked against grim.
#include "DeskAgent.h"
#include "SwayTools.h"
#include "dialogs/Keys.h"
#include "platform/portal/GlobalShortcuts.h"

#include <QDBusConnection>
#include <QDBusMetaType>
#include <QKeySequence>
#include <QDBusMessage>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kaptivus::test;
using kaptivus::platform::portal::GlobalShortcuts;

namespace {

// kglobalaccel names the component after the agent's session.
const QString kComponent = "/component/kaptivus2000";

QDBusMessage callComponent(const QString& method, const QVariantList& args = {})
{
    auto call = QDBusMessage::createMethodCall("org.kde.kglobalaccel", kComponent, "org.kde.kglobalaccel.Component",
        method);
    call.setArguments(args);
    return QDBusConnection::sessionBus().call(call, QDBus::Block, 5000);
}

// What the user's press of the action's trigger does on the desktop.
void pressOnDesktop(int id)
{
    const QDBusMessage reply = callComponent("invokeShortcut", { QString("capture-%1").arg(id), QString("default") });
    ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
}

bool componentActive()
{
    const QDBusMessage reply = callComponent("isActive");
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()
        && reply.arguments().constFirst().toBool();
}

// The trigger kglobalaccel itself keeps for the action, in its own words.
QString keptTrigger(int id)
{
    auto call = QDBusMessage::createMethodCall("org.kde.kglobalaccel", "/kglobalaccel", "org.kde.KGlobalAccel",
        "shortcut");
    call << QStringList { "kaptivus2000", QString("capture-%1").arg(id), QString(), QString() };
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 5000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return {};
    const auto keys = qdbus_cast<QList<int>>(reply.arguments().constFirst());
    return keys.isEmpty() || keys.first() == 0 ? QString() : QKeySequence(keys.first()).toString();
}

// How often the portal's KDE back-end was asked `method` so far, by its own log.
int portalCalls(const QString& method)
{
    QFile log(qEnvironmentVariable("KAPTIVUS_PORTAL_LOG"));
    return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()).count(method + " called") : -1;
}

// kglobalaccel forgets the agent's shortcuts, as before its very first start.
void forgetShortcuts()
{
    for (int id = 101; id <= 112; ++id)
        QDBusConnection::sessionBus().call(QDBusMessage::createMethodCall("org.kde.kglobalaccel", "/kglobalaccel",
            "org.kde.KGlobalAccel", "unregister") << QString("kaptivus2000") << QString("capture-%1").arg(id));
}

bool bound(TTray1& tray)
{
    return tray.desktopShortcuts() && tray.desktopShortcuts()->state() == GlobalShortcuts::State::Bound;
}

// An agent whose numbered files go to a folder of the test's own, as PNG.
struct ShortcutAgent {
    ShortcutAgent()
    {
        agent.tray.AutoFolder = folder.path();
        agent.tray.DefaultExt = ".PNG";
    }
    QStringList files() const { return QDir(folder.path()).entryList(QDir::Files); }
    QImage picture() const
    {
        const QStringList names = files();
        return names.size() == 1 ? QImage(QDir(folder.path()).filePath(names.first())) : QImage();
    }
    QTemporaryDir folder;
    DeskAgent agent;
};

void bindPrintTo(TTray1& tray, int id)
{
    tray.ResetHotkeyDefaults();
    tray.HotkeyKeys[0] = tray.HotkeyKeyIndex[0] = 0;
    tray.HotkeyKeys[id - 101] = 44;
    tray.HotkeyKeyIndex[id - 101] = 1;
    tray.RegisterHotkeys();
}

} // namespace

// The desktop's press of an action's trigger reaches the agent through the
// hotkey gate: the desktop saved to a numbered file, or shown in the picture
// window, as grim sees it. The application id is not registered (this portal
// has no host registry) and nothing is reported for it. Binding opens KDE's
// shortcut settings: the first start's shortcuts reach kglobalaccel with the
// session, the second start takes what it keeps, and neither binds.
TEST(DesktopShortcuts, PressOnTheDesktopCapturesWhatGrimSees)
{
    const struct {
        const char* name;
        int id;
    } cases[] = { { "Print saves the desktop", 102 }, { "Print shows the desktop", 101 } };
    forgetShortcuts();
    const int binds = portalCalls("BindShortcuts");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ShortcutAgent s;
        bindPrintTo(s.agent.tray, c.id);
        ASSERT_TRUE(waitUntil([&] { return bound(s.agent.tray); }, 30s)) << s.agent.tray.desktopShortcuts()->error().toStdString();
        EXPECT_FALSE(s.agent.tray.desktopShortcuts()->isRegistered());
        EXPECT_EQ(keptTrigger(102), "Print");
        ASSERT_GT(portalCalls("CreateSession"), 0); // the log is the back-end's
        EXPECT_EQ(portalCalls("BindShortcuts"), binds);
        const QImage expected = grim();
        pressOnDesktop(c.id);
        QImage got;
        if (c.id == 102) {
            ASSERT_TRUE(waitUntil([&] { return !(got = s.picture()).isNull(); })) << s.files().join(' ').toStdString();
        } else {
            ASSERT_TRUE(waitUntil([&] { return s.agent.main1.isVisible(); }));
            got = kaptivus::picture::toQImage(s.agent.tray.captureBitmap());
            s.agent.main1.close();
        }
        EXPECT_EQ(firstDifference(expected, got), "");
        EXPECT_FALSE(s.agent.tray.CaptureBusy);
    }
}

// " &Suspendre" closes the session: the desktop deactivates the shortcuts and
// a press does nothing; resuming binds them again, without BindShortcuts as
// kglobalaccel keeps them, and the next press captures.
TEST(DesktopShortcuts, SuspensionUnbindsAndResumingBindsAgain)
{
    ShortcutAgent s;
    bindPrintTo(s.agent.tray, 102);
    ASSERT_TRUE(waitUntil([&] { return bound(s.agent.tray) && componentActive(); }, 30s));
    const int binds = portalCalls("BindShortcuts");
    s.agent.tray.Suspend1->trigger();
    ASSERT_TRUE(waitUntil([&] { return !componentActive(); }));
    EXPECT_TRUE(s.agent.tray.desktopShortcuts()->assigned().isEmpty());
    pressOnDesktop(102);
    s.agent.tray.Suspend1->trigger();
    ASSERT_TRUE(waitUntil([&] { return bound(s.agent.tray) && componentActive(); }, 30s));
    EXPECT_TRUE(s.files().isEmpty()) << s.files().join(' ').toStdString();
    EXPECT_EQ(portalCalls("BindShortcuts"), binds);
    pressOnDesktop(102);
    ASSERT_TRUE(waitUntil([&] { return !s.files().isEmpty(); }));
    // The press made while suspended never arrives later either.
    EXPECT_TRUE(waitUntil([&] { return !s.agent.tray.CaptureBusy; }));
    EXPECT_EQ(s.files().size(), 1) << s.files().join(' ').toStdString();
}

// The hotkey dialog shows the triggers the desktop keeps, which may be the
// user's own from an earlier session rather than the agent's preference, and
// says that they are changed in the desktop's own settings. A preference
// changed there is bound when it closes: the desktop must learn it.
TEST(DesktopShortcuts, DialogShowsTheTriggersTheDesktopAssigned)
{
    ShortcutAgent s;
    s.agent.tray.ResetHotkeyDefaults();
    s.agent.tray.RegisterHotkeys();
    ASSERT_TRUE(waitUntil([&] { return bound(s.agent.tray); }, 30s));
    QStringList kept;
    for (int i = 0; i < 12; ++i)
        if (const QString trigger = keptTrigger(101 + i); !trigger.isEmpty())
            kept << QString::fromUtf8(kaptivus::dialogs::HotkeyActions[i].caption).trimmed() + " : " + trigger;
    const int binds = portalCalls("BindShortcuts");
    QString intro;
    QString lines;
    ModalWatcher watcher([&](QWidget* modal) {
        if (auto* keys = qobject_cast<TKeys1*>(modal); keys && keys->DesktopKeysText) {
            intro = keys->DesktopKeysLabel->text();
            lines = keys->DesktopKeysText->toPlainText();
            emit keys->KeyLists[0]->activated(6); // F5
        }
        modal->close();
    });
    s.agent.tray.DefineHotkeys(nullptr);
    ASSERT_FALSE(kept.isEmpty());
    EXPECT_EQ(intro.toStdString(),
        "Le bureau attribue les raccourcis : pour les changer, passez par ses propres réglages de raccourcis clavier.");
    EXPECT_EQ(lines.toStdString(), kept.join('\n').toStdString());
    ASSERT_TRUE(waitUntil([&] { return bound(s.agent.tray); }, 30s));
    EXPECT_EQ(portalCalls("BindShortcuts") - binds, 1);
}
