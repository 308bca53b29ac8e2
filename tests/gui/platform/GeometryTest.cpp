// Rectangle arithmetic the grab relies on to clip requests to the screen, and the
// rule that brings a window back where its title bar can be reached.
#include "platform/Geometry.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

using kaptivus::platform::ScreenPoint;
using kaptivus::platform::ScreenRect;

TEST(Geometry, IntersectionClipsToTheOverlap)
{
    const ScreenRect screen { 0, 0, 1920, 1080 };
    EXPECT_EQ(intersected(ScreenRect { -10, -5, 40, 30 }, screen), (ScreenRect { 0, 0, 30, 25 }));
    EXPECT_EQ(intersected(ScreenRect { 1900, 1070, 50, 40 }, screen), (ScreenRect { 1900, 1070, 20, 10 }));
    EXPECT_EQ(intersected(ScreenRect { 100, 100, 10, 10 }, screen), (ScreenRect { 100, 100, 10, 10 }));
    // Touching edges do not overlap: right and bottom are exclusive.
    EXPECT_TRUE(intersected(ScreenRect { 1920, 0, 10, 10 }, screen).isEmpty());
    EXPECT_TRUE(intersected(ScreenRect { 0, -10, 10, 10 }, screen).isEmpty());
    EXPECT_TRUE(intersected(ScreenRect { 5000, 5000, 1, 1 }, screen).isEmpty());
}

TEST(Geometry, UnionIsTheBoundingBoxAndIgnoresEmptyRectangles)
{
    const ScreenRect left { -1280, 0, 1280, 1024 };
    const ScreenRect primary { 0, 0, 1024, 768 };
    EXPECT_EQ(united(left, primary), (ScreenRect { -1280, 0, 2304, 1024 }));
    EXPECT_EQ(united(primary, left), united(left, primary));
    EXPECT_EQ(united(ScreenRect {}, primary), primary);
    EXPECT_EQ(united(primary, ScreenRect { 500, 500, 0, 10 }), primary);
}

TEST(Geometry, ContainsHonoursExclusiveEdges)
{
    const ScreenRect r { 10, 20, 5, 5 };
    EXPECT_TRUE(r.contains(ScreenPoint { 10, 20 }));
    EXPECT_TRUE(r.contains(ScreenPoint { 14, 24 }));
    EXPECT_FALSE(r.contains(ScreenPoint { 15, 24 }));
    EXPECT_FALSE(r.contains(ScreenPoint { 14, 25 }));
    EXPECT_FALSE(r.contains(ScreenPoint { 9, 20 }));
    EXPECT_EQ(r.right(), 15);
    EXPECT_EQ(r.bottom(), 25);
}

TEST(Geometry, WindowPartlyOffScreenComesWhollyBackWhenItFits)
{
    const ScreenRect primary { 0, 0, 1920, 1080 };
    const ScreenRect shorterRight { 1920, 0, 1280, 1024 };
    const std::vector<ScreenRect> one { primary };
    const std::vector<ScreenRect> two { primary, shorterRight };
    const std::vector<ScreenRect> mirrored { primary, primary };
    constexpr int title = 24;
    struct Case {
        const char* what;
        ScreenRect frame;
        std::vector<ScreenRect> monitors;
        ScreenPoint expected;
    };
    const Case cases[] = {
        { "wholly on screen: stays", { 100, 50, 640, 480 }, one, { 100, 50 } },
        { "stored on a larger screen: wholly onto this one", { 1500, 700, 640, 480 }, one, { 1280, 600 } },
        { "only 32 px of title on screen: wholly back", { 1888, 50, 640, 480 }, one, { 1280, 50 } },
        { "narrow window: one column off", { 1901, 50, 20, 100 }, one, { 1900, 50 } },
        { "title bar above the top edge", { 100, -10, 640, 480 }, one, { 100, 0 } },
        { "title bar below the bottom edge", { 100, 1070, 640, 480 }, one, { 100, 600 } },
        { "on a monitor since removed", { 2500, 100, 640, 480 }, one, { 1280, 100 } },
        { "on the second monitor: stays", { 2500, 100, 640, 480 }, two, { 2500, 100 } },
        { "across both monitors, all shown: stays", { 1700, 100, 640, 480 }, two, { 1700, 100 } },
        { "off the second monitor's corner: onto it", { 2800, 700, 640, 480 }, two, { 2560, 544 } },
        { "below the shorter monitor: onto it", { 2500, 1050, 640, 480 }, two, { 2500, 544 } },
        { "mirrored monitors count once", { 1500, 700, 640, 480 }, mirrored, { 1280, 600 } },
        { "taller than the monitor, title reachable: stays", { 100, 50, 640, 1200 }, one, { 100, 50 } },
        { "larger than the monitor: corner on it", { -3000, -3000, 2500, 1500 }, one, { 0, 0 } },
        { "extreme stored place", { INT_MAX, INT_MIN, 640, 480 }, one, { 1280, 0 } },
        { "no monitor known: unchanged", { -5000, 50, 640, 480 }, {}, { -5000, 50 } },
    };
    for (const Case& c : cases)
        EXPECT_EQ(reachablePosition(c.frame, title, c.monitors), c.expected) << c.what;
}
