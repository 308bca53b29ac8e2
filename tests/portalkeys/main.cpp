// The global-shortcut tests' entry: a compositor of the process's own before
// the toolkit connects; the portal's bus is the one scripts/kdeportal.sh
// exported. Listing the tests (as the build does) needs neither.
#include "SwaySession.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
    kaptivus::test::PrivateSway desk;
    if (!desk.isReady()) return 1;
    qputenv("QT_QPA_PLATFORM", "wayland");
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
