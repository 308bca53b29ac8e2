// GoogleTest entry for widgets under Wayland: each test process gets a
// compositor of its own, with a keyboard on its seat, before the toolkit
// connects (the toolkit finds the seat's keyboard only then). Listing the
// tests (as the build does) needs none.
#include "SwaySession.h"
#include "WaylandUser.h"

#include <QApplication>
#include <gtest/gtest.h>
#include <string_view>

int main(int argc, char** argv)
{
    if (argc == 2 && std::string_view(argv[1]) == "--virtual-pointer") return kaptivus::test::serveVirtualPointer();
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
    kaptivus::test::PrivateSway desk(false, true);
    if (!desk.isReady()) return 1;
    qputenv("QT_QPA_PLATFORM", "wayland");
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
