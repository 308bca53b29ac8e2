// The page arithmetic against worked figures: a 600-dpi printer, a 96-dpi
// screen (7 dots a pixel), a printable area of 4800 × 6000 dots (Letter less
// its margins), footer text 100 dots high.
#include "print/PrintLayout.h"

#include <gtest/gtest.h>

#include <string>

using namespace kaptivus::print;

namespace {

PageRequest Letter600(int width, int height)
{
    PageRequest q;
    q.pictureWidth = width;
    q.pictureHeight = height;
    q.pageWidth = 4800;
    q.pageHeight = 6000;
    q.textHeight = 100;
    q.footerLines = 1; // the date line, checked by default
    return q;
}

struct Case {
    std::string name;
    PageRequest request;
    int x, y, width, height;
};

PageRequest With(PageRequest q, void (*change)(PageRequest&))
{
    change(q);
    return q;
}

} // namespace

TEST(PageLayout, PlacesAndSizesThePicture)
{
    const PageRequest square = Letter600(100, 100);
    const PageRequest wide = Letter600(1920, 1080);
    const Case cases[] = {
        // 100 × 100 at 100 % is 700 × 700 dots; the usable height is 6000 − 2 × 100.
        {"centred", square, 2050, 2550, 700, 700},
        {"top left", With(square, [](PageRequest& q) { q.alignment = Alignment::TopLeft; }), 0, 0, 700, 700},
        {"top right", With(square, [](PageRequest& q) { q.alignment = Alignment::TopRight; }), 4100, 0, 700, 700},
        {"bottom left", With(square, [](PageRequest& q) { q.alignment = Alignment::BottomLeft; }), 0, 5100, 700, 700},
        // Lower right corner at the page's right edge and the top of the footer band.
        {"bottom right", With(square, [](PageRequest& q) { q.alignment = Alignment::BottomRight; }), 4100, 5100, 700,
         700},
        {"image 10 %", With(square, [](PageRequest& q) { q.imagePercent = 10; }), 2365, 2865, 70, 70},
        {"image 400 %", With(square, [](PageRequest& q) { q.imagePercent = 400; }), 1000, 1500, 2800, 2800},
        // 13440 × 7560 dots: r = 2.8, so 4800 × 2700.
        {"wider than the page, proportional", wide, 0, 1550, 4800, 2700},
        {"wider than the page, independent", With(wide, [](PageRequest& q) { q.keepProportions = false; }), 0, 0, 4800,
         5800},
        {"page 50 % of a page-wide picture",
         With(wide,
              [](PageRequest& q) {
                  q.scaling = Scaling::PagePercent;
                  q.pagePercent = 50;
              }),
         1200, 2225, 2400, 1350},
        // The image percentage does not apply while "En % de page" is chosen.
        {"page 100 % ignores the image percentage",
         With(square,
              [](PageRequest& q) {
                  q.scaling = Scaling::PagePercent;
                  q.imagePercent = 400;
              }),
         2050, 2550, 700, 700},
        // 3500 × 7000 dots, taller than the usable 5800: r = 7000 / 5800.
        {"taller than the page", Letter600(500, 1000), 950, 0, 2900, 5800},
        {"no footer line still keeps one free", With(square, [](PageRequest& q) { q.footerLines = 0; }), 2050, 2600,
         700, 700},
        {"three footer lines", With(square, [](PageRequest& q) { q.footerLines = 3; }), 2050, 2450, 700, 700},
        // Landscape: the printable area is 6000 × 4800.
        {"landscape centred",
         With(wide,
              [](PageRequest& q) {
                  q.pageWidth = 6000;
                  q.pageHeight = 4800;
              }),
         0, 612, 6000, 3375},
        // 9600 × 21 dots halved to 4800 × 10.5: the tie goes to the even 10.
        {"ties round to even",
         With(Letter600(9600, 21),
              [](PageRequest& q) {
                  q.printerDpiX = q.printerDpiY = 96;
                  q.imagePercent = 50;
              }),
         0, 2895, 4800, 10},
    };
    for (const Case& c : cases) {
        const PageLayout l = ComputePageLayout(c.request);
        EXPECT_EQ(l.x, c.x) << c.name;
        EXPECT_EQ(l.y, c.y) << c.name;
        EXPECT_EQ(l.width, c.width) << c.name;
        EXPECT_EQ(l.height, c.height) << c.name;
        // Whatever the options, the picture stays on the page above the footer band.
        EXPECT_GE(l.x, 0) << c.name;
        EXPECT_GE(l.y, 0) << c.name;
        EXPECT_LE(l.x + l.width, c.request.pageWidth) << c.name;
        EXPECT_LE(l.y + l.height, l.usableHeight) << c.name;
    }
}

TEST(PageLayout, DeviceScaleAddsOneToTheRoundedRatio)
{
    const struct {
        int printer, screen, scale;
    } cases[] = {{600, 96, 7}, {300, 96, 4}, {1200, 96, 13}, {144, 96, 3}, {240, 96, 3}, {96, 96, 2}, {600, 0, 7}};
    for (const auto& c : cases)
        EXPECT_EQ(DeviceScale(c.printer, c.screen), c.scale) << c.printer << "/" << c.screen;
    EXPECT_EQ(MulDiv(7, 10, 100), 1);  // 0.7
    EXPECT_EQ(MulDiv(5, 10, 100), 1);  // 0.5 goes up
    EXPECT_EQ(MulDiv(4, 10, 100), 0);
    EXPECT_EQ(MulDiv(1, 1, 0), 0);
}

TEST(PageLayout, FooterLinesStartBelowTheUsableHeight)
{
    PageRequest q = Letter600(100, 100);
    q.footerLines = 3;
    q.textHeight = 101;
    const PageLayout l = ComputePageLayout(q);
    EXPECT_EQ(l.usableHeight, 6000 - 4 * 101);
    EXPECT_EQ(l.footerX, 50);
    EXPECT_EQ(l.footerY, 6000 - 4 * 101 + 50);
    EXPECT_EQ(l.footerStep, 101);
}

TEST(PageLayout, ThinPictureKeepsOneDotWhenFitted)
{
    // 70000 × 7 dots squeezed to the page width would round to 0 dots high.
    const PageLayout l = ComputePageLayout(Letter600(10000, 1));
    EXPECT_EQ(l.width, 4800);
    EXPECT_EQ(l.height, 1);
}
