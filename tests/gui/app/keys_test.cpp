// The hotkey dialog Keys1 on its own (a recording stand-in for the agent) and
// on the real agent: its rows and lists, the refused modifier, the close check,
// "&Défaut", the settings file it writes and the combination another program holds.
#include "app/AppStyle.h"
#include "app/Tray.h"
#include "app/TrayIcon.h"
#include "app/Wiring.h"
#include "config/RegistryStore.h"
#include "stored_settings.h"
#include "dialogs/Info.h"
#include "dialogs/Keys.h"
#include "picture/Main.h"
#include "platform/Hotkeys.h"

#include "BellWatcher.h"
#include "XTest.h"
#include "../dialogs/dialogs_wait.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using kaptivus::dialogs::HotkeyTable;
using kaptivus::test::dialogs::ModalWatcher;
using kaptivus::test::dialogs::waitFor;

namespace {

constexpr int PrintScrn = 1;
constexpr int KeyF5 = 6;
constexpr int KeyA = 24;
constexpr int Aucun = 0;
constexpr int ALT = 1;
constexpr int CTRL = 2;
constexpr int SHIFT = 3;
constexpr int CTRL_SHIFT = 7;

class FakeAgent : public KeysLink {
public:
    FakeAgent() { ResetHotkeyDefaults(); }
    HotkeyTable& HotkeyKeys() override { return keys; }
    HotkeyTable& HotkeyModifiers() override { return mods; }
    HotkeyTable& HotkeyKeyIndex() override { return keyIndex; }
    HotkeyTable& HotkeyModifierIndex() override { return modIndex; }
    void ResetHotkeyDefaults() override
    {
        keys = mods = keyIndex = modIndex = HotkeyTable {};
        keys[0] = keys[3] = 44;
        mods[3] = 1;
        keyIndex[0] = keyIndex[3] = 1;
        modIndex[3] = 1;
        ++resets;
    }
    void SaveSettings() override { calls.push_back("save"); }
    void RegisterHotkeys() override { calls.push_back("register"); }
    HotkeyRefusal RefusalOf(int index) const override { return refusals[index]; }

    HotkeyTable keys, mods, keyIndex, modIndex;
    std::array<HotkeyRefusal, 12> refusals {};
    std::vector<std::string> calls;
    int resets = 0;
};

// Answers every message box with "OK" and keeps its caption and text.
struct Warnings {
    std::vector<std::pair<QString, QString>> seen;
    ModalWatcher watcher { [this](QWidget* w) {
        if (auto* box = qobject_cast<QMessageBox*>(w)) {
            seen.emplace_back(box->windowTitle(), box->text());
            box->buttons().front()->click();
        }
    } };
};

// A choice in a list, as a person makes it.
void choose(QComboBox* list, int position)
{
    list->setCurrentIndex(position);
    emit list->activated(position);
}

struct Agent {
    TTray1 tray;
    TMain1 main1 { &tray };
    TInfo1 info1;
    Agent()
    {
        WireWindows(tray, main1, info1);
        main1.FormCreate();
    }
};


// Opens the dialog from the picture window's menu and runs `inside` on it while it is modal.
void withDialogFromMenu(Agent& a, const std::function<void(TKeys1&)>& inside)
{
    bool ran = false;
    ModalWatcher watcher([&](QWidget* w) {
        auto* keys = qobject_cast<TKeys1*>(w);
        if (!keys || ran) return;
        ran = true;
        inside(*keys);
    });
    a.main1.DefineHotkeys1->trigger();
    EXPECT_TRUE(ran);
}

} // namespace

TEST(KeysDialog, RowsListsAndTextsAreTheDesigns)
{
    FakeAgent agent;
    TKeys1 dialog(agent);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Réglages des raccourcis clavier (Kaptivus 2000)"));
    EXPECT_EQ(dialog.size(), QSize(376, 342));
    const int labels[12] = { 1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 12, 13 };
    for (int i = 0; i < 12; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(dialog.RowLabels[i]->objectName(), QStringLiteral("StaticText%1").arg(labels[i]));
        EXPECT_EQ(dialog.RowLabels[i]->text(), QString::fromUtf8(kaptivus::dialogs::HotkeyActions[i].caption));
        EXPECT_EQ(dialog.RowLabels[i]->toolTip(), QString::fromUtf8(kaptivus::dialogs::HotkeyActions[i].hint));
        ASSERT_EQ(dialog.KeyLists[i]->count(), 58);
        ASSERT_EQ(dialog.ModifierLists[i]->count(), 8);
        EXPECT_EQ(dialog.KeyLists[i]->itemText(13), "F12");
        EXPECT_EQ(dialog.KeyLists[i]->itemText(57), "/");
        EXPECT_EQ(dialog.ModifierLists[i]->itemText(7), "CTRL+SHIFT");
        EXPECT_FALSE(dialog.KeyLists[i]->isEditable());
    }
    EXPECT_EQ(dialog.RowLabels[5]->text(), QStringLiteral(" Copier fenêtre active->p-papiers "));
    // Four groups of three: a wider step between groups than within one.
    const int step = dialog.RowLabels[1]->y() - dialog.RowLabels[0]->y();
    for (int g = 1; g < 4; ++g)
        EXPECT_GT(dialog.RowLabels[3 * g]->y() - dialog.RowLabels[3 * g - 1]->y(), step) << g;
    EXPECT_EQ(dialog.BitBtn2->text(), QStringLiteral("&Défaut"));
    EXPECT_TRUE(dialog.BitBtn1->isDefault());
    // The lists show the tables: the defaults.
    EXPECT_EQ(dialog.KeyLists[0]->currentText(), "PrintScrn");
    EXPECT_EQ(dialog.ModifierLists[3]->currentText(), "ALT");
    EXPECT_EQ(dialog.KeyLists[1]->currentText(), "Aucun");
}

TEST(KeysDialog, ChoicesChangeTheTablesAndPrintScreenTakesOnlyAltOrNothing)
{
    struct Case {
        const char* name;
        int key;         // chosen first
        int modifier;    // then this
        bool accepted;
        int32_t flags;   // in HotkeyModifiers afterwards
    };
    const Case cases[] = {
        { "PrintScrn + CTRL refused", PrintScrn, CTRL, false, 0 },
        { "PrintScrn + SHIFT refused", PrintScrn, SHIFT, false, 0 },
        { "PrintScrn + CTRL+SHIFT refused", PrintScrn, CTRL_SHIFT, false, 0 },
        { "PrintScrn + ALT accepted", PrintScrn, ALT, true, 1 },
        { "PrintScrn + Aucun accepted", PrintScrn, Aucun, true, 0 },
        { "F5 + CTRL accepted", KeyF5, CTRL, true, 2 },
        { "A + CTRL+SHIFT accepted", KeyA, CTRL_SHIFT, true, 6 },
    };
    kaptivus::test::BellWatcher bells;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeAgent agent;
        TKeys1 dialog(agent);
        Warnings warnings;
        const int row = 7;
        choose(dialog.KeyLists[row], c.key);
        EXPECT_EQ(agent.keyIndex[row], c.key);
        EXPECT_EQ(agent.keys[row], kaptivus::dialogs::KeyList[c.key].virtualKey);
        const int bellsBefore = bells.count();
        choose(dialog.ModifierLists[row], c.modifier);
        EXPECT_EQ(agent.modIndex[row], c.accepted ? c.modifier : Aucun);
        EXPECT_EQ(agent.mods[row], c.flags);
        if (c.accepted) {
            EXPECT_TRUE(warnings.seen.empty());
            EXPECT_EQ(dialog.ModifierLists[row]->currentIndex(), c.modifier);
        } else {
            ASSERT_EQ(warnings.seen.size(), 1u);
            EXPECT_EQ(warnings.seen[0], std::pair(QStringLiteral("Attention"), QStringLiteral("Modifiers not allowed !!")));
            // The list shows the previous modifier again.
            EXPECT_EQ(dialog.ModifierLists[row]->currentIndex(), Aucun);
            if (bells.isWatching()) {
                EXPECT_TRUE(bells.waitForCount(bellsBefore + 1));
            }
        }
        EXPECT_TRUE(agent.calls.empty());
    }
}

TEST(KeysDialog, PrintScreenChosenAfterCtrlShiftIsAccepted)
{
    FakeAgent agent;
    TKeys1 dialog(agent);
    Warnings warnings;
    choose(dialog.ModifierLists[2], CTRL_SHIFT);
    choose(dialog.KeyLists[2], PrintScrn);
    EXPECT_EQ(agent.keys[2], 44);
    EXPECT_EQ(agent.mods[2], 6);
    EXPECT_TRUE(warnings.seen.empty());
}

TEST(KeysDialog, PaintingShowsTheTablesWithoutCountingAsAChoice)
{
    FakeAgent agent;
    TKeys1 dialog(agent);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    agent.keyIndex[9] = KeyA + 25; // "Z"
    agent.modIndex[9] = CTRL;
    dialog.update();
    EXPECT_TRUE(waitFor([&] { return dialog.KeyLists[9]->currentText() == "Z"; }));
    EXPECT_EQ(dialog.ModifierLists[9]->currentText(), "CTRL");
    // The code tables stay as they are: only a person's choice writes them.
    EXPECT_EQ(agent.keys[9], 0);
    EXPECT_EQ(agent.mods[9], 0);
    // A stored position off the list shows no entry rather than failing.
    agent.keyIndex[9] = 500;
    dialog.update();
    EXPECT_TRUE(waitFor([&] { return dialog.KeyLists[9]->currentIndex() == -1; }));
}

TEST(KeysDialog, CloseCheckRefusesOnlyTheSameKeyWithTheSameModifiers)
{
    struct Case {
        const char* name;
        int keyA, modA, keyB, modB;
        bool closes;
    };
    const Case cases[] = {
        { "same key, different modifiers", KeyF5, CTRL, KeyF5, SHIFT, true },
        { "both without a key, same modifiers", Aucun, CTRL, Aucun, CTRL, true },
        { "different keys, same modifiers", KeyF5, CTRL, KeyA, CTRL, true },
        { "same key and modifiers", KeyF5, CTRL, KeyF5, CTRL, false },
        { "PrintScrn twice with nothing", PrintScrn, Aucun, PrintScrn, Aucun, false },
    };
    for (const Case& c : cases) {
        for (bool closeBox : { false, true }) {
            SCOPED_TRACE(std::string(c.name) + (closeBox ? ", close box" : ", OK"));
            FakeAgent agent;
            agent.keyIndex.fill(0);
            agent.modIndex.fill(0);
            agent.keyIndex[4] = c.keyA;
            agent.modIndex[4] = c.modA;
            agent.keyIndex[10] = c.keyB;
            agent.modIndex[10] = c.modB;
            TKeys1 dialog(agent);
            dialog.show();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
            Warnings warnings;
            if (closeBox)
                dialog.close();
            else
                dialog.BitBtn1->click();
            EXPECT_EQ(dialog.isVisible(), !c.closes);
            if (c.closes) {
                EXPECT_EQ(agent.calls, (std::vector<std::string> { "save", "register" }));
                EXPECT_TRUE(warnings.seen.empty());
            } else {
                EXPECT_TRUE(agent.calls.empty());
                ASSERT_EQ(warnings.seen.size(), 1u);
                EXPECT_EQ(warnings.seen[0].first, "Attention");
                EXPECT_EQ(warnings.seen[0].second.split('\n'),
                          (QStringList { "Duplicate Hotkey definition found !!", "change Hotkey or modifier" }));
                // Removing the conflict lets it close.
                choose(dialog.KeyLists[10], Aucun);
                dialog.close();
                EXPECT_FALSE(dialog.isVisible());
                EXPECT_EQ(agent.calls, (std::vector<std::string> { "save", "register" }));
            }
        }
    }
}

TEST(KeysDialog, EscapeRunsTheSameCloseCheck)
{
    FakeAgent agent;
    agent.keyIndex[1] = agent.keyIndex[0];
    TKeys1 dialog(agent);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    Warnings warnings;
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(warnings.seen.size(), 1u);
    EXPECT_TRUE(agent.calls.empty());
}

TEST(KeysDialog, DefaultsAndTheCloseBoxWriteTheSettingsFileAndRegisterAgain)
{
    Agent a;
    for (int i = 0; i < 12; ++i) {
        a.tray.HotkeyKeys[i] = 112 + i; // F1..F12
        a.tray.HotkeyKeyIndex[i] = 2 + i;
    }
    a.tray.RegisterHotkeys();
    withDialogFromMenu(a, [](TKeys1& dialog) {
        EXPECT_EQ(dialog.KeyLists[11]->currentText(), "F12");
        EXPECT_EQ(dialog.KeyLists[0]->currentText(), "F1");
        dialog.BitBtn2->click();
        EXPECT_TRUE(waitFor([&] { return dialog.KeyLists[11]->currentText() == "Aucun"; }));
        EXPECT_EQ(dialog.KeyLists[3]->currentText(), "PrintScrn");
        dialog.close();
        EXPECT_FALSE(dialog.isVisible());
    });
    for (int i = 0; i < 12; ++i) {
        SCOPED_TRACE(i);
        const bool print = i == 0 || i == 3;
        EXPECT_EQ(storedDword("HotKey" + std::to_string(i)), print ? 44u : 0u);
        EXPECT_EQ(storedDword("Modifier" + std::to_string(i)), i == 3 ? 1u : 0u);
        EXPECT_EQ(storedDword("IndexH" + std::to_string(i)), print ? 1u : 0u);
        EXPECT_EQ(storedDword("IndexM" + std::to_string(i)), i == 3 ? 1u : 0u);
        EXPECT_EQ(a.tray.HotkeyStatusOf(i), print ? kaptivus::platform::HotkeyStatus::Grabbed
                                                  : kaptivus::platform::HotkeyStatus::Unregistered);
    }
}

TEST(KeysDialog, ACombinationAnotherProgramHoldsIsMarkedAndListedUnderTheTrayIcon)
{
    kaptivus::test::ForeignKeyGrab other(kaptivus::test::keysym::F5, kaptivus::test::Ctrl);
    ASSERT_TRUE(other.isGrabbed());
    Agent a;
    const QString plainTip = a.tray.TrayIcon1->shownTip();
    // Action 105 on Ctrl+F5, through the dialog.
    withDialogFromMenu(a, [](TKeys1& dialog) {
        choose(dialog.KeyLists[4], KeyF5);
        choose(dialog.ModifierLists[4], CTRL);
        EXPECT_FALSE(dialog.isRowMarked(4));
        dialog.BitBtn1->click();
    });
    EXPECT_EQ(a.tray.HotkeyStatusOf(4), kaptivus::platform::HotkeyStatus::HeldElsewhere);
    EXPECT_EQ(a.tray.HotkeyStatusOf(0), kaptivus::platform::HotkeyStatus::Grabbed);
    EXPECT_EQ(a.tray.TrayIcon1->shownTip(),
              plainTip + "\nRaccourcis non disponibles :\nCopier fenêtre active + enregistrer");
    withDialogFromMenu(a, [](TKeys1& dialog) {
        for (int i = 0; i < 12; ++i) EXPECT_EQ(dialog.isRowMarked(i), i == 4) << i;
        EXPECT_EQ(dialog.RowLabels[4]->toolTip(), QString::fromUtf8(TKeys1::HeldElsewhereHint));
        EXPECT_EQ(dialog.RowLabels[4]->palette().color(QPalette::WindowText), QColor(Qt::red));
        EXPECT_EQ(dialog.RowLabels[3]->palette().color(QPalette::WindowText), QColor(Qt::black));
        // Another key clears the mark at once; closing takes it.
        choose(dialog.ModifierLists[4], SHIFT);
        EXPECT_FALSE(dialog.isRowMarked(4));
        const QString hint = QString::fromUtf8(kaptivus::dialogs::HotkeyActions[4].hint);
        EXPECT_TRUE(waitFor([&] { return dialog.RowLabels[4]->toolTip() == hint; }));
        dialog.close();
    });
    EXPECT_EQ(a.tray.HotkeyStatusOf(4), kaptivus::platform::HotkeyStatus::Grabbed);
    EXPECT_EQ(a.tray.TrayIcon1->shownTip(), plainTip);
}
