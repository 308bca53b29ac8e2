// The information window: layout, countdown rules, Escape and close box, and
// that a notice does not take the keyboard from the user's window.
#include "dialogs/Info.h"
#include "dialogs/Timer.h"

#include "dialogs_wait.h"
#include "XTest.h"

#include <QElapsedTimer>
#include <QFrame>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using kaptivus::test::dialogs::waitFor;

namespace {

struct InfoWindow : ::testing::Test {
    std::unique_ptr<TInfo1> info = std::make_unique<TInfo1>();
};

TEST_F(InfoWindow, HasItsDesignLayoutAndStartsHiddenAndIdle)
{
    EXPECT_EQ(info->objectName(), "Info1");
    EXPECT_EQ(info->windowTitle(), "Message d'information de Kaptivus 2000");
    EXPECT_EQ(info->size(), QSize(296, 80));
    EXPECT_EQ(info->minimumSize(), info->maximumSize());
    EXPECT_TRUE(info->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_FALSE(info->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(info->Image1->geometry(), QRect(4, 4, 32, 32));
    EXPECT_FALSE(info->Image1->pixmap().isNull());
    EXPECT_EQ(info->Label2->text(), "ESC");
    EXPECT_TRUE(info->Label2->font().bold());
    EXPECT_EQ(info->Label2->pos(), QPoint(8, 44));
    EXPECT_EQ(info->Panel1->geometry(), QRect(44, 4, 245, 69));
    EXPECT_EQ(info->Panel1->palette().color(QPalette::Window), QColor(Qt::white));
    EXPECT_EQ(info->Label1->parentWidget(), info->Panel1);
    EXPECT_EQ(info->Label1->geometry(), QRect(8, 8, 225, 53));
    EXPECT_FALSE(info->isVisible());
    EXPECT_FALSE(info->Timer1->isEnabled());
    EXPECT_FALSE(info->Timer2->isEnabled());
    EXPECT_EQ(info->Timer2->interval(), 300);
}

TEST_F(InfoWindow, ShowsForOneSecondThenHidesAndStopsBothTimers)
{
    QElapsedTimer clock;
    clock.start();
    info->ShowInfo(QStringLiteral("Picture Sucessfully Saved as  /tmp/a.gif"), 1);
    EXPECT_TRUE(info->isVisible());
    EXPECT_EQ(info->Label1->text(), "Picture Sucessfully Saved as  /tmp/a.gif");
    EXPECT_EQ(info->Timer1->interval(), 1000);
    EXPECT_TRUE(info->Timer1->isCounting());
    EXPECT_TRUE(info->Timer2->isCounting());
    ASSERT_TRUE(waitFor([&] { return !info->isVisible(); }, 5000));
    EXPECT_GE(clock.elapsed(), 950);
    EXPECT_FALSE(info->Timer1->isEnabled());
    EXPECT_FALSE(info->Timer2->isEnabled());
}

TEST_F(InfoWindow, SameSecondsReplacesTextWithoutRestartingTheCountdown)
{
    QElapsedTimer clock;
    clock.start();
    info->ShowInfo(QStringLiteral("first"), 2);
    ASSERT_TRUE(waitFor([&] { return info->Timer1->remainingTime() < 1000; }));
    info->ShowInfo(QStringLiteral("second"), 2);
    EXPECT_EQ(info->Label1->text(), "second");
    EXPECT_LT(info->Timer1->remainingTime(), 1000) << "the countdown started again";
    ASSERT_TRUE(waitFor([&] { return !info->isVisible(); }, 5000));
    EXPECT_LT(clock.elapsed(), 2900);
}

TEST_F(InfoWindow, DifferentSecondsRestartsTheCountdown)
{
    QElapsedTimer clock;
    clock.start();
    info->ShowInfo(QStringLiteral("first"), 1);
    ASSERT_TRUE(waitFor([&] { return info->Timer1->remainingTime() < 600; }));
    info->ShowInfo(QStringLiteral("second"), 2);
    EXPECT_EQ(info->Timer1->interval(), 2000);
    EXPECT_GT(info->Timer1->remainingTime(), 1500);
    // The first countdown would have ended by now.
    ASSERT_TRUE(waitFor([&] { return clock.elapsed() > 1300 || !info->isVisible(); }));
    EXPECT_TRUE(info->isVisible());
    ASSERT_TRUE(waitFor([&] { return !info->isVisible(); }, 6000));
    EXPECT_GE(clock.elapsed(), 2300);
}

TEST_F(InfoWindow, EscapeHidesAtOnceAndTheOldCountdownStillDecides)
{
    info->ShowInfo(QStringLiteral("first"), 2);
    QTest::keyClick(info.get(), Qt::Key_A);
    EXPECT_TRUE(info->isVisible()) << "only Escape closes";
    QTest::keyClick(info.get(), Qt::Key_Escape);
    EXPECT_FALSE(info->isVisible());
    EXPECT_TRUE(info->Timer1->isCounting());
    EXPECT_TRUE(info->Timer2->isCounting());
    const int left = info->Timer1->remainingTime();

    info->ShowInfo(QStringLiteral("again"), 2);
    EXPECT_TRUE(info->isVisible());
    EXPECT_LE(info->Timer1->remainingTime(), left);
    ASSERT_TRUE(waitFor([&] { return !info->Timer1->isEnabled(); }, 5000));
    EXPECT_FALSE(info->isVisible());
    EXPECT_FALSE(info->Timer2->isEnabled());
}

TEST_F(InfoWindow, CloseBoxHidesAndLeavesTheTimersRunning)
{
    info->ShowInfo(QStringLiteral("text"), 2);
    info->close();
    EXPECT_FALSE(info->isVisible());
    EXPECT_TRUE(info->Timer1->isCounting());
    EXPECT_TRUE(info->Timer2->isCounting());
    ASSERT_TRUE(waitFor([&] { return !info->Timer1->isEnabled(); }, 5000));
}

TEST_F(InfoWindow, ZeroSecondsNeverHidesButKeepsRaisingItself)
{
    QSignalSpy ticks(info->Timer2, &TTimer::timeout);
    info->ShowInfo(QStringLiteral("stays"), 0);
    EXPECT_TRUE(info->Timer1->isEnabled());
    EXPECT_EQ(info->Timer1->interval(), 0);
    EXPECT_FALSE(info->Timer1->isCounting());
    // Five keep-on-top ticks take 1.5 s, longer than any countdown callers use.
    ASSERT_TRUE(waitFor([&] { return ticks.count() >= 5; }, 5000));
    EXPECT_TRUE(info->isVisible());
    QTest::keyClick(info.get(), Qt::Key_Escape);
    EXPECT_FALSE(info->isVisible());
    EXPECT_TRUE(info->Timer2->isCounting());
}

TEST_F(InfoWindow, NegativeSecondsCountAsZero)
{
    info->ShowInfo(QStringLiteral("x"), -5);
    EXPECT_EQ(info->Timer1->interval(), 0);
    EXPECT_FALSE(info->Timer1->isCounting());
    info->ShowInfo(QStringLiteral("x"), 1 << 30);
    EXPECT_GT(info->Timer1->interval(), 0);
}

TEST_F(InfoWindow, LongTextIsCutAndTheWindowDoesNotGrow)
{
    QString text;
    for (int i = 0; i < 40; ++i)
        text += QStringLiteral("line %1\r").arg(i);
    text += QStringLiteral("/a/very/long/path/without/any/blank/that/is/wider/than/the/label.gif");
    info->ShowInfo(text, 1);
    ASSERT_TRUE(waitFor([&] { return info->isVisible(); }));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(info.get()));
    EXPECT_EQ(info->size(), QSize(296, 80));
    EXPECT_EQ(info->Label1->size(), QSize(225, 53));
    EXPECT_EQ(info->Panel1->size(), QSize(245, 69));
}

TEST_F(InfoWindow, FileNamesAreNeverTakenForMarkup)
{
    info->ShowInfo(QStringLiteral("Picture Sucessfully Saved as  /tmp/<b>x</b>.gif"), 1);
    EXPECT_EQ(info->Label1->textFormat(), Qt::PlainText);
    EXPECT_EQ(info->Label1->text(), "Picture Sucessfully Saved as  /tmp/<b>x</b>.gif");
}

TEST(InfoLineBreaks, CarriageReturnsBecomeLineBreaks)
{
    using kaptivus::dialogs::NormaliseLineBreaks;
    EXPECT_EQ(NormaliseLineBreaks(QStringLiteral("Picture Copied to the ClipBoard\r\ruse Paste")),
              "Picture Copied to the ClipBoard\n\nuse Paste");
    EXPECT_EQ(NormaliseLineBreaks(QStringLiteral("a\r\nb\nc\r")), "a\nb\nc\n");
    EXPECT_EQ(NormaliseLineBreaks(QString()), QString());
}

TEST(InfoFocus, ANoticeDoesNotTakeTheKeyboardFromAnotherProgram)
{
    namespace xt = kaptivus::test;
    xt::TestWindow other("another program", {200, 200, 300, 150});
    ASSERT_TRUE(other.waitForManaged());
    ASSERT_TRUE(other.activate());
    ASSERT_TRUE(waitFor([&] { return QApplication::activeWindow() == nullptr; }));

    TInfo1 info;
    QSignalSpy ticks(info.Timer2, &TTimer::timeout);
    info.ShowInfo(QStringLiteral("notice"), 2);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&info));
    ASSERT_TRUE(waitFor([&] { return ticks.count() >= 2; }));
    EXPECT_EQ(xt::activeWindow(), other.id());
    EXPECT_EQ(QApplication::activeWindow(), nullptr);

    // A click on the notice hands it the keyboard, so that Escape can hide it.
    QTest::mouseClick(info.Panel1, Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return QApplication::activeWindow() == &info; }));
    info.hide();
    ASSERT_TRUE(other.activate());
    info.ShowInfo(QStringLiteral("again"), 2);
    ASSERT_TRUE(waitFor([&] { return ticks.count() >= 4; }));
    EXPECT_EQ(xt::activeWindow(), other.id()) << "the next notice took the keyboard again";
}

TEST(InfoLayout, TheClipboardNoticeShowsAllItsLines)
{
    TInfo1 info;
    info.ShowInfo(QStringLiteral("Picture Copied to the ClipBoard\r\ruse Paste from any Application\r"
                                 "to get the Picture into it"),
                  1);
    const QFontMetrics metrics(info.Label1->font());
    const QRect needed = metrics.boundingRect(QRect(0, 0, info.Label1->width(), 1000),
                                              Qt::AlignHCenter | Qt::TextWordWrap, info.Label1->text());
    EXPECT_LE(needed.height(), info.Label1->height()) << "the last line is cut";
    EXPECT_LE(needed.width(), info.Label1->width());
}

TEST(InfoOnScreen, IsCentredAndAClickThenTheRealEscapeKeyHidesIt)
{
    namespace xt = kaptivus::test;
    ASSERT_TRUE(xt::haveDisplay());
    TInfo1 info;
    // A countdown far longer than the test: on a busy machine a short one could
    // end before the Escape key does, and hide the notice itself.
    info.ShowInfo(QStringLiteral("notice"), 60);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&info));
    const QPoint screenCentre = QGuiApplication::primaryScreen()->geometry().center();
    ASSERT_TRUE(waitFor([&] { return (info.geometry().center() - screenCentre).manhattanLength() < 40; }))
        << "the notice is not centred on the screen";

    const QPoint target = info.Panel1->mapToGlobal(info.Panel1->rect().center());
    xt::movePointer(target.x(), target.y());
    xt::clickButton(1);
    // The server's keyboard focus too, not only the toolkit's idea of the
    // active window: the key goes where the server says.
    ASSERT_TRUE(waitFor([&] {
        return QApplication::activeWindow() == &info && xt::inputFocus() == static_cast<xt::Window>(info.winId());
    })) << "focus on " << xt::inputFocus() << ", the notice is " << info.winId();
    ASSERT_TRUE(xt::pressKey(xt::keysym::Escape));
    ASSERT_TRUE(waitFor([&] { return !info.isVisible(); }));
    EXPECT_TRUE(info.Timer1->isCounting()) << "Escape must leave the countdown running";
}

TEST(TimerRule, SettingAValueItAlreadyHasChangesNothing)
{
    TTimer timer;
    timer.setInterval(5000);
    timer.setEnabled(true);
    ASSERT_TRUE(timer.isCounting());
    ASSERT_TRUE(waitFor([&] { return timer.remainingTime() < 4900; }));
    timer.setInterval(5000);
    timer.setEnabled(true);
    EXPECT_LT(timer.remainingTime(), 4900);
    timer.setInterval(6000);
    EXPECT_GT(timer.remainingTime(), 5900);
    timer.setEnabled(false);
    EXPECT_FALSE(timer.isCounting());
    EXPECT_EQ(timer.remainingTime(), -1);
    timer.setInterval(0);
    timer.setEnabled(true);
    EXPECT_FALSE(timer.isCounting());
}

} // namespace
