// The X test helpers that other tests build on: finding a Qt window by its
// title, typing into it, lock keys, waiting with a deadline.
#include "XTest.h"

#include <QLineEdit>
#include <gtest/gtest.h>

namespace xt = kaptivus::test;

TEST(TestSupport, WaitingEndsAtTheDeadlineWithTheLastAnswer)
{
    EXPECT_TRUE(xt::waitUntil([] { return true; }, std::chrono::milliseconds(0)));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(xt::waitUntil([] { return false; }, std::chrono::milliseconds(50)));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
    int calls = 0;
    EXPECT_TRUE(xt::waitUntil([&] { return ++calls == 3; }));
}

TEST(TestSupport, QtWindowIsFoundByTitleTypedIntoAndActive)
{
    if (!xt::haveDisplay()) GTEST_SKIP() << "no X display";
    QLineEdit edit;
    edit.setWindowTitle(QStringLiteral("kaptivus support edit"));
    edit.resize(200, 30);
    edit.show();
    const xt::Window w = xt::waitForWindowByTitle("kaptivus support edit");
    ASSERT_NE(w, 0u);
    // The client window, not the window manager's frame around it.
    EXPECT_EQ(w, static_cast<xt::Window>(edit.winId()));
    EXPECT_NE(xt::parentOf(w), xt::rootWindow());
    edit.activateWindow();
    ASSERT_TRUE(xt::waitUntil([&] { return xt::activeWindow() == w && edit.hasFocus(); }));

    xt::pressKey(xt::keysym::a);
    xt::pressKey(xt::keysym::a, xt::Shift);
    EXPECT_TRUE(xt::waitUntil([&] { return edit.text() == QStringLiteral("aA"); })) << edit.text().toStdString();
}

TEST(TestSupport, LockKeysCanBeSetBothWays)
{
    if (!xt::haveDisplay()) GTEST_SKIP() << "no X display";
    for (bool on : { true, false, true, false }) {
        EXPECT_TRUE(xt::setNumLock(on));
        EXPECT_EQ(xt::numLockOn(), on);
        EXPECT_TRUE(xt::setCapsLock(on));
        EXPECT_EQ(xt::capsLockOn(), on);
    }
}

TEST(TestSupport, ScreenReadsBackWhatIsShown)
{
    if (!xt::haveDisplay()) GTEST_SKIP() << "no X display";
    const auto colour = [](int x, int y) { return static_cast<uint32_t>(x << 16 | y << 8 | 0x40); };
    xt::PictureWindow shown({ 5, 7, 16, 9 }, colour);
    const auto pixels = xt::readScreen({ 5, 7, 16, 9 });
    ASSERT_EQ(pixels.size(), 16u * 9u);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 16; ++x)
            EXPECT_EQ(pixels[static_cast<size_t>(y * 16 + x)], colour(x, y));
    EXPECT_EQ(xt::screenPixel(5 + 15, 7 + 8), colour(15, 8));
}
