// The agent window with its picture window, in-process: the hotkey gate (with
// a capture that only counts), suspension, the hide-icon mode, the twin items
// and the tray menu.
#include "app/AppStyle.h"
#include "app/Tray.h"
#include "app/TrayIcon.h"
#include "app/Wiring.h"
#include "config/RegistryStore.h"
#include "stored_settings.h"
#include "dialogs/Info.h"
#include "picture/Main.h"

#include "XTest.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QScreen>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

// The capture itself is the capture engine's business; the gate only decides whether it runs.
class CountingAgent : public TTray1 {
public:
    void CaptureByHotkey(int id) override { captures.push_back(id); }
    std::vector<int> captures;
};

struct Agent {
    CountingAgent tray;
    TMain1 main1{&tray};
    TInfo1 info1;
    Agent()
    {
        WireWindows(tray, main1, info1);
        main1.FormCreate();
    }
};


} // namespace

TEST(AgentGate, OneCaptureAtATimeUntilThePictureWindowCloses)
{
    Agent a;
    a.tray.HotkeyPressed(101);
    a.tray.HotkeyPressed(104);
    EXPECT_EQ(a.tray.captures, std::vector<int>{101});
    EXPECT_TRUE(a.tray.CaptureBusy);
    a.tray.TrayIcon1DblClick();
    EXPECT_EQ(a.tray.captures.size(), 1u);
    // Closing the picture window, shown or hidden, opens the gate again.
    a.main1.close();
    EXPECT_FALSE(a.tray.CaptureBusy);
    a.tray.HotkeyPressed(104);
    EXPECT_EQ(a.tray.captures, (std::vector<int>{101, 104}));
}

TEST(AgentGate, TrayDoubleClickCapturesTheDesktopForShowing)
{
    Agent a;
    a.tray.TrayIcon1DblClick();
    EXPECT_EQ(a.tray.captures, std::vector<int>{101});
    EXPECT_TRUE(a.tray.CaptureBusy);
    EXPECT_TRUE(a.tray.OpenedFromTray);
    a.main1.close();
    EXPECT_FALSE(a.tray.OpenedFromTray);
    a.tray.Open1->trigger();
    EXPECT_EQ(a.tray.captures.size(), 2u);
}

TEST(AgentGate, SuspensionFromTheTrayKeepsEveryPressOutUntilResumed)
{
    Agent a;
    a.tray.Suspend1->trigger();
    EXPECT_TRUE(a.main1.suspend1->isChecked());
    EXPECT_TRUE(a.tray.CaptureBusy);
    a.tray.HotkeyPressed(101);
    a.tray.TrayIcon1DblClick();
    EXPECT_TRUE(a.tray.captures.empty());
    // Closing the picture window clears the flag: the double click works again, hotkeys stay off.
    a.main1.close();
    a.tray.HotkeyPressed(101);
    EXPECT_TRUE(a.tray.captures.empty());
    a.tray.TrayIcon1DblClick();
    EXPECT_EQ(a.tray.captures, std::vector<int>{101});
    a.tray.Suspend1->trigger();
    EXPECT_FALSE(a.main1.suspend1->isChecked());
    EXPECT_FALSE(a.tray.CaptureBusy);
    a.tray.HotkeyPressed(104);
    EXPECT_EQ(a.tray.captures, (std::vector<int>{101, 104}));
}

TEST(AgentGate, SuspensionFromThePictureWindowResumesOnlyAfterItCloses)
{
    Agent a;
    a.main1.suspend1->trigger();
    EXPECT_TRUE(a.tray.Suspend1->isChecked());
    a.main1.suspend1->trigger();
    EXPECT_FALSE(a.tray.Suspend1->isChecked());
    EXPECT_TRUE(a.tray.CaptureBusy);
    a.tray.HotkeyPressed(101);
    EXPECT_TRUE(a.tray.captures.empty());
    a.main1.close();
    a.tray.HotkeyPressed(101);
    EXPECT_EQ(a.tray.captures, std::vector<int>{101});
}

TEST(AgentGate, DefaultHotkeysArePrintScreenAndAltPrintScreenOnly)
{
    Agent a;
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(a.tray.HotkeyKeys[i], (i == 0 || i == 3) ? 44 : 0) << i;
        EXPECT_EQ(a.tray.HotkeyModifiers[i], i == 3 ? 1 : 0) << i;
        EXPECT_EQ(a.tray.HotkeyKeyIndex[i], (i == 0 || i == 3) ? 1 : 0) << i;
        EXPECT_EQ(a.tray.HotkeyModifierIndex[i], i == 3 ? 1 : 0) << i;
    }
}

TEST(TrayMenu, ThirteenEntriesInOrderWithTheirCaptions)
{
    Agent a;
    const std::vector<std::pair<QString, QString>> expected{
        {"Open1", " &Ouvrir"},
        {"Suspend1", " &Suspendre"},
        {"PrinttheDesktop1", " I&mprimer le bureau"},
        {"About1", " &A propos"},
        {"N2", ""},
        {"StopTimer1", " Enregistrement auto (minuteur)"},
        {"HideIcononSystemTray1", " Cacher l'icône dans le system tray"},
        {"DirectPrintNoDialog1", " Impression directe (pas de dialogue)"},
        {"N1", ""},
        {"CleanupRegistryandresetconfiguartion1", " Ré-initialiser la configuration originale..."},
        {"N3", ""},
        {"Exit1", " &Quitter"},
        {"N4", ""}};
    const auto actions = a.tray.PopupMenu1->actions();
    ASSERT_EQ(actions.size(), static_cast<qsizetype>(expected.size()));
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(actions[i]->objectName(), expected[i].first);
        EXPECT_EQ(actions[i]->isSeparator(), expected[i].second.isEmpty());
        if (!actions[i]->isSeparator()) {
            EXPECT_EQ(actions[i]->text(), expected[i].second);
        }
    }
    EXPECT_EQ(a.tray.StopTimer1->toolTip(), QStringLiteral("Enregistrer..."));
}

TEST(TrayMenu, HideIconModeShowsTheSmallWindowCentredAndBack)
{
    Agent a;
    ASSERT_TRUE(a.tray.TrayIcon1->Active());
    a.tray.HideIcononSystemTray1->trigger();
    EXPECT_TRUE(a.main1.HideIcononSystemTray1->isChecked());
    EXPECT_FALSE(a.tray.TrayIcon1->Active());
    ASSERT_TRUE(kaptivus::test::waitUntil([&] { return a.tray.isVisible(); }, 5s));
    EXPECT_EQ(a.tray.size(), QSize(107, 43));
    EXPECT_EQ(a.tray.windowTitle(), QStringLiteral("Kaptivus 2000"));
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_NEAR(a.tray.geometry().center().x(), screen.center().x(), 2);
    EXPECT_EQ(storedDword("Tray"), 1u);
    a.tray.HideIcononSystemTray1->trigger();
    EXPECT_TRUE(a.tray.TrayIcon1->Active());
    EXPECT_FALSE(a.tray.isVisible());
    EXPECT_EQ(storedDword("Tray"), 0u);
}

TEST(TrayMenu, DirectPrintTwinsStayEqualAndTheTrayItemSaves)
{
    Agent a;
    a.tray.DirectPrintNoDialog1->trigger();
    EXPECT_TRUE(a.main1.DirectPrintNoDialog1->isChecked());
    EXPECT_EQ(storedDword("Direct"), 1u);
    a.main1.DirectPrintNoDialog1->trigger();
    EXPECT_FALSE(a.tray.DirectPrintNoDialog1->isChecked());
    // The picture window's item only saves when the window closes.
    EXPECT_EQ(storedDword("Direct"), 1u);
    a.main1.close();
    EXPECT_EQ(storedDword("Direct"), 0u);
}

TEST(TrayMenu, StartingWithTheIconHiddenShowsTheSmallWindow)
{
    {
        Agent first;
        first.tray.HideIcononSystemTray1->trigger();
    }
    Agent a;
    EXPECT_FALSE(a.tray.TrayIcon1->Active());
    EXPECT_TRUE(a.tray.HideIcononSystemTray1->isChecked());
    EXPECT_TRUE(kaptivus::test::waitUntil([&] { return a.tray.isVisible(); }, 5s));
}

TEST(AgentWindow, TheRightClickCaptionFitsItsLabelUnderTheApplicationStyleSheet)
{
    InstallHintBehaviour(*qApp); // the style sheet that keeps window fonts from children
    Agent a;
    QLabel* label = a.tray.Label1;
    ASSERT_EQ(label->size(), QSize(53, 29));
    EXPECT_EQ(label->font().family(), a.tray.font().family());
    const QRect needed = QFontMetrics(label->font())
                             .boundingRect(QRect(0, 0, label->width(), 1000), Qt::TextWordWrap, label->text());
    EXPECT_LE(needed.width(), label->width());
    EXPECT_LE(needed.height(), label->height()) << "the caption wraps into more lines than the label shows";
}
