// GoogleTest entry for widgets under Wayland: each test process gets a
// compositor of its own before the toolkit connects. Listing the tests (as the
// build does) needs none.
#include "WaylandDesk.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <string_view>

int main(int argc, char** argv)
{
    if (argc == 2 && std::string_view(argv[1]) == "--virtual-pointer") return kaptivus::test::serveVirtualPointer();
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
    // Outside scripts/swaysession.sh every test skips itself.
    if (!kaptivus::test::startPrivateDesk()) {
        kaptivus::test::stopPrivateDesk();
        return RUN_ALL_TESTS();
    }
    qputenv("QT_QPA_PLATFORM", "wayland");
    int rc = 0;
    {
        QApplication app(argc, argv);
        rc = RUN_ALL_TESTS();
    }
    kaptivus::test::stopPrivateDesk();
    return rc;
}
