// The picture window on a Wayland desktop cannot place itself, and the
// compositor never says where it put it: "PosX"/"PosY" are written back as
// they were read, whatever the toolkit reports.
#include "DeskAgent.h"
#include "SwayTools.h"
#include "config/RegistryStore.h"

#include <QWindow>
#include <gtest/gtest.h>

using namespace kaptivus::test;
using kaptivus::config::RegistryStore;

namespace {

void storePosition(int x, int y)
{
    RegistryStore store;
    (void)store.open();
    auto key = store.createKey(kaptivus::config::kSettingsKey);
    ASSERT_TRUE(key);
    ASSERT_TRUE(key->writeInteger("PosX", x).ok());
    ASSERT_TRUE(key->writeInteger("PosY", y).ok());
    ASSERT_TRUE(key->close().ok());
}

QPoint storedPosition()
{
    RegistryStore store;
    (void)store.open();
    auto key = store.openKey(kaptivus::config::kSettingsKey);
    if (!key) return { -9999, -9999 };
    return { key->readInteger("PosX").value_or(-9999), key->readInteger("PosY").value_or(-9999) };
}

} // namespace

TEST(WaylandPictureWindow, StoredPlaceIsWrittenBackUntouched)
{
    const QPoint places[] = { { 123, 77 }, { -40, 2500 }, { 0, 0 } };
    for (const QPoint& place : places) {
        SCOPED_TRACE(testing::Message() << place.x() << "," << place.y());
        storePosition(place.x(), place.y());
        DeskAgent agent;
        agent.main1.show();
        ASSERT_TRUE(waitUntil([&] { return agent.main1.windowHandle() && agent.main1.windowHandle()->isExposed(); }));
        agent.tray.SaveSettings();
        EXPECT_EQ(storedPosition(), place) << "the toolkit reports " << agent.main1.x() << "," << agent.main1.y();
    }
}
