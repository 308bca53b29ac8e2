// The notification-icon component's own rules.
#include "app/TrayIcon.h"

#include "XTest.h"

#include <QPixmap>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

QIcon colourIcon(Qt::GlobalColor colour)
{
    QPixmap p(16, 16);
    p.fill(colour);
    return QIcon(p);
}

} // namespace

TEST(TrayIcon, ToolTipKeepsItsFirst62Characters)
{
    TTrayIcon icon;
    icon.setToolTip(QString(70, QLatin1Char('x')));
    EXPECT_EQ(icon.ToolTip().size(), 62);
    icon.setToolTip(QStringLiteral("Kaptivus 2000  V5.10 (complet)"));
    EXPECT_EQ(icon.ToolTip(), QStringLiteral("Kaptivus 2000  V5.10 (complet)"));
}

TEST(TrayIcon, ActiveAddsAndRemovesTheIcon)
{
    TTrayIcon icon;
    icon.setIcon(colourIcon(Qt::red));
    EXPECT_FALSE(icon.systemTrayIcon()->isVisible());
    icon.setActive(true);
    EXPECT_TRUE(icon.systemTrayIcon()->isVisible());
    icon.setActive(true);
    EXPECT_TRUE(icon.systemTrayIcon()->isVisible());
    icon.setActive(false);
    EXPECT_FALSE(icon.systemTrayIcon()->isVisible());
}

TEST(TrayIcon, AnIconAddedWithoutTipGetsItOnceTheLoopRuns)
{
    TTrayIcon icon;
    icon.setIcon(colourIcon(Qt::red));
    icon.setActive(true);
    EXPECT_TRUE(icon.systemTrayIcon()->toolTip().isEmpty());
    icon.setToolTip(QStringLiteral("tip"));
    EXPECT_TRUE(kaptivus::test::waitUntil([&] { return icon.systemTrayIcon()->toolTip() == "tip"; }, 2s));
}

TEST(TrayIcon, AnimationNeedsImagesAndAnActiveIcon)
{
    TTrayIcon icon;
    const QIcon still = colourIcon(Qt::red);
    icon.setIcon(still);
    icon.setAnimate(true);
    EXPECT_FALSE(icon.Animate()); // no images
    const QList<QIcon> frames{colourIcon(Qt::green), colourIcon(Qt::blue), colourIcon(Qt::yellow)};
    icon.setImages(&frames);
    icon.setAnimate(true);
    EXPECT_FALSE(icon.Animate()); // not active
    icon.setActive(true);
    icon.setAnimateInterval(0); // ignored
    EXPECT_EQ(icon.AnimateInterval(), 100);
    icon.setAnimateInterval(10);
    icon.setAnimate(true);
    ASSERT_TRUE(icon.Animate());
    // The frames go round: 0 -> 1 -> 2 -> 0.
    EXPECT_TRUE(kaptivus::test::waitUntil([&] { return icon.animationFrame() == 2; }, 2s));
    EXPECT_TRUE(kaptivus::test::waitUntil([&] { return icon.animationFrame() == 0; }, 2s));
    icon.setAnimate(false);
    EXPECT_EQ(icon.Icon().cacheKey(), still.cacheKey());
}

TEST(TrayIcon, DestroyedImagesStopTheAnimation)
{
    TTrayIcon icon;
    const QIcon still = colourIcon(Qt::red);
    icon.setIcon(still);
    icon.setActive(true);
    auto frames = std::make_unique<QList<QIcon>>(QList<QIcon>{colourIcon(Qt::green)});
    icon.setImages(frames.get());
    icon.setAnimate(true);
    ASSERT_TRUE(icon.Animate());
    frames.reset();
    icon.imagesDestroyed();
    EXPECT_FALSE(icon.Animate());
    EXPECT_EQ(icon.Images(), nullptr);
    EXPECT_EQ(icon.Icon().cacheKey(), still.cacheKey());
}

TEST(TrayIcon, ClicksBecomeTheComponentsEvents)
{
    TTrayIcon icon;
    int clicks = 0;
    int doubles = 0;
    int rights = 0;
    QObject::connect(&icon, &TTrayIcon::OnClick, [&] { ++clicks; });
    QObject::connect(&icon, &TTrayIcon::OnDblClick, [&] { ++doubles; });
    QObject::connect(&icon, &TTrayIcon::OnRightClick, [&] { ++rights; });
    emit icon.systemTrayIcon()->activated(QSystemTrayIcon::Trigger);
    emit icon.systemTrayIcon()->activated(QSystemTrayIcon::DoubleClick);
    emit icon.systemTrayIcon()->activated(QSystemTrayIcon::Context);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(doubles, 1);
    EXPECT_EQ(rights, 1);
}
