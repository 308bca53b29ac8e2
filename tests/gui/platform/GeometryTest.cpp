// Rectangle arithmetic the grab relies on to clip requests to the screen.
#include "platform/Geometry.h"

#include <gtest/gtest.h>

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
