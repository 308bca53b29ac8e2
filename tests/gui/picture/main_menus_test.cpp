// The menu items that only change state: the delay and monitor radio items
// (clicking the checked one unchecks it), the check-mark twins shared with the
// agent, suspension, and the auto-save button.
#include "main_fixture.h"

#include <QAction>
#include <QMenu>
#include <QTimer>
#include <QToolButton>

namespace kaptivus::picture::testing {
namespace {

std::vector<QAction*> Checked(const QList<QAction*>& items)
{
    std::vector<QAction*> checked;
    for (QAction* item : items)
        if (item->isChecked())
            checked.push_back(item);
    return checked;
}

struct DelayCase {
    const char* item;
    int value;
};

TEST_F(MainWindowTest, AreaDelayItemsAreRadioItemsThatSetTheCaptureDelay)
{
    const DelayCase cases[] = {{"NSeconds3", 2000}, {"NSeconds4", 3000}, {"NSeconds5", 4000},
                               {"NSeconds6", 5000}, {"NSeconds7", 10000}, {"NSeconds2", 1000}};
    for (const DelayCase& c : cases) {
        SCOPED_TRACE(c.item);
        auto* item = main1->findChild<QAction*>(QString::fromLatin1(c.item));
        ASSERT_NE(item, nullptr);
        item->trigger();
        EXPECT_EQ(tray->CaptureDelay, c.value);
        EXPECT_EQ(Checked(main1->DefineDelay1->actions()), std::vector<QAction*>{item});
    }
    // Clicking the checked item leaves none checked but sets the value again.
    tray->CaptureDelay = 1234;
    main1->NSeconds2->trigger();
    EXPECT_TRUE(Checked(main1->DefineDelay1->actions()).empty());
    EXPECT_EQ(tray->CaptureDelay, 1000);
}

TEST_F(MainWindowTest, CountdownItemsAreRadioItemsThatSetTheTimerDelay)
{
    const DelayCase cases[] = {{"ADelay1", 10}, {"ADelay2", 20}, {"ADelay4", 60},  {"ADelay5", 300},
                               {"ADelay6", 600}, {"ADelay7", 1800}, {"ADelay3", 30}};
    for (const DelayCase& c : cases) {
        SCOPED_TRACE(c.item);
        auto* item = main1->findChild<QAction*>(QString::fromLatin1(c.item));
        ASSERT_NE(item, nullptr);
        item->trigger();
        EXPECT_EQ(tray->TimerDelay, c.value);
        EXPECT_EQ(Checked(main1->AutoCaptureDelay1->actions()), std::vector<QAction*>{item});
    }
    main1->ADelay3->trigger();
    EXPECT_TRUE(Checked(main1->AutoCaptureDelay1->actions()).empty());
    EXPECT_EQ(tray->TimerDelay, 30);
}

TEST_F(MainWindowTest, ANewCountdownKeepsARunningTimersIntervalUntilRestarted)
{
    main1->ToolButton7Click();
    ASSERT_TRUE(main1->Timer1->isActive());
    EXPECT_EQ(main1->Timer1->interval(), 30000);
    main1->ADelay7->trigger();
    EXPECT_EQ(main1->Timer1->interval(), 30000);
    main1->ToolButton7Click();
    main1->ToolButton7Click();
    EXPECT_EQ(main1->Timer1->interval(), 1800000);
}

TEST_F(MainWindowTest, AutoSaveButtonSwitchesTheTimerAndTheTrayItem)
{
    EXPECT_EQ(main1->ToolButton7->text(), QStringLiteral("OFF"));
    EXPECT_TRUE(main1->ToolButton7->isChecked());
    QTest::mouseClick(main1->ToolButton7, Qt::LeftButton);
    EXPECT_EQ(main1->ToolButton7->text(), QStringLiteral("ON"));
    EXPECT_FALSE(main1->ToolButton7->isChecked());
    EXPECT_TRUE(main1->Timer1->isActive());
    EXPECT_TRUE(tray->StopTimer1->isChecked());
    QTest::mouseClick(main1->ToolButton7, Qt::LeftButton);
    EXPECT_EQ(main1->ToolButton7->text(), QStringLiteral("OFF"));
    EXPECT_FALSE(main1->Timer1->isActive());
    EXPECT_FALSE(tray->StopTimer1->isChecked());
}

TEST_F(MainWindowTest, ACountdownOfZeroSecondsNeverTicks)
{
    tray->TimerDelay = 0;
    int ticks = 0;
    main1->autoSaveTick = [&] { ++ticks; };
    main1->ToolButton7Click();
    EXPECT_EQ(main1->ToolButton7->text(), QStringLiteral("ON"));
    QTest::qWait(30);
    EXPECT_EQ(ticks, 0);
}

TEST_F(MainWindowTest, MonitorItemsAreRadioItemsThatAlwaysSetTheDesktopRectangle)
{
    QAction* items[] = {main1->Monitor0, main1->Monitor1, main1->Monitor2, main1->Monitor3, main1->Monitor4};
    const kaptivus::platform::ScreenRect whole = tray->DesktopRect;
    tray->DesktopRect = kaptivus::platform::ScreenRect{1, 2, 3, 4};
    main1->Monitor0->trigger(); // the checked item: unchecked, yet the rectangle is set
    EXPECT_TRUE(Checked(main1->Monitors1->actions()).empty());
    EXPECT_EQ(tray->DesktopRect, whole);
    main1->Monitor0->trigger();
    EXPECT_EQ(Checked(main1->Monitors1->actions()), std::vector<QAction*>{items[0]});
    // A single monitor under the test display: only "all monitors" is offered.
    EXPECT_FALSE(main1->Monitors1->menuAction()->isEnabled());
    for (int i = 1; i < 5; ++i)
        EXPECT_FALSE(items[i]->isEnabled());
}

TEST_F(MainWindowTest, MonitorItemsAreEnabledUpToTheMonitorCount)
{
    for (int count : {1, 2, 3, 4, 5}) {
        SCOPED_TRACE(count);
        TMain1 window(tray.get());
        window.monitorCount = [count] { return count; };
        window.FormCreate();
        EXPECT_EQ(window.Monitors1->menuAction()->isEnabled(), count > 1);
        EXPECT_TRUE(window.Monitor0->isEnabled());
        QAction* numbered[] = {window.Monitor1, window.Monitor2, window.Monitor3, window.Monitor4};
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(numbered[i]->isEnabled(), count > 1 && count <= 4 && i < count) << i;
    }
    tray->Main1 = main1.get();
}

TEST_F(MainWindowTest, OptionItemsToggleTheirOwnCheckMark)
{
    for (QAction* item : {main1->Sound1, main1->IncludeCursor1, main1->ClientAreaonly1, main1->AutocopytoClipboard1,
                          main1->Closeafterprinting1}) {
        SCOPED_TRACE(item->objectName().toStdString());
        const bool before = item->isChecked();
        item->trigger();
        EXPECT_EQ(item->isChecked(), !before);
        item->trigger();
        EXPECT_EQ(item->isChecked(), before);
    }
}

TEST_F(MainWindowTest, TwinItemsCopyTheirMarkToTheAgent)
{
    main1->DirectPrintNoDialog1->trigger();
    EXPECT_TRUE(tray->DirectPrintNoDialog1->isChecked());
    main1->DirectPrintNoDialog1->trigger();
    EXPECT_FALSE(tray->DirectPrintNoDialog1->isChecked());

    std::vector<bool> modes;
    main1->applyHideIconMode = [&](bool hidden) { modes.push_back(hidden); };
    main1->HideIcononSystemTray1->trigger();
    EXPECT_TRUE(tray->HideIcononSystemTray1->isChecked());
    main1->HideIcononSystemTray1->trigger();
    EXPECT_FALSE(tray->HideIcononSystemTray1->isChecked());
    EXPECT_EQ(modes, (std::vector<bool>{true, false}));
}

TEST_F(MainWindowTest, SuspendingFromThePictureWindowKeepsTheBusyFlagUntilItCloses)
{
    main1->suspend1->trigger();
    EXPECT_TRUE(tray->Suspend1->isChecked());
    EXPECT_TRUE(tray->CaptureBusy);
    main1->suspend1->trigger();
    EXPECT_FALSE(tray->Suspend1->isChecked());
    EXPECT_TRUE(tray->CaptureBusy);
    main1->close();
    EXPECT_FALSE(tray->CaptureBusy);
}

TEST_F(MainWindowTest, RefreshAsksThePlatformToRepaintTheDesktop)
{
    int repaints = 0;
    main1->repaintDesktop = [&] { ++repaints; };
    main1->Refresh1->trigger();
    EXPECT_EQ(repaints, 1);
}

} // namespace
} // namespace kaptivus::picture::testing
