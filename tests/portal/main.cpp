// The portal tests' entry: a Qt core application for the helper processes and
// the test's own bus peers; with --virtual-pointer, the user's pointer.
#include "WaylandUser.h"

#include <QCoreApplication>
#include <gtest/gtest.h>
#include <string_view>

int main(int argc, char** argv)
{
    if (argc == 2 && std::string_view(argv[1]) == "--virtual-pointer") return kaptivus::test::serveVirtualPointer();
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
