// GoogleTest entry for the error report: the program's own application object,
// whose event delivery catches what a handler throws.
#include "dialogs/ErrorReport.h"

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
    qputenv("QT_QPA_PLATFORM", "xcb");
    kaptivus::dialogs::GuardedApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
