// Tests that need a window of the test program itself on the compositor: the
// private sway starts first, so that Qt's Wayland connection goes to it.
#include "../SwaySession.h"

#include <QGuiApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    // Listing the tests (at build time) needs no compositor.
    if (testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
    kaptivus::test::PrivateSway sway;
    if (!sway.isReady()) return 1;
    qputenv("QT_QPA_PLATFORM", "wayland");
    QGuiApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
