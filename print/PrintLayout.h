// Where a picture goes on a printed page: device scaling, percentages, fitting
// to the printable area above the footer band, alignment and footer lines.
// Pure arithmetic in printer dots: no Qt, no printer.
#pragma once

#include <cstdint>

namespace kaptivus::print {

enum class Alignment { Centred = 0, TopLeft = 1, TopRight = 2, BottomLeft = 3, BottomRight = 4 };
enum class Scaling { ImagePercent, PagePercent };

struct PageRequest {
    int pictureWidth = 0;
    int pictureHeight = 0;
    int printerDpiX = 600; // PX, PY
    int printerDpiY = 600;
    int screenDpiX = 96; // SX, SY
    int screenDpiY = 96;
    int pageWidth = 0;  // PW: the printable width in dots
    int pageHeight = 0; // PH: the printable height in dots
    int textHeight = 0; // T: the height of "X" in the footer font, in dots
    int footerLines = 0; // checked footer boxes, 0 to 3
    Scaling scaling = Scaling::ImagePercent;
    int imagePercent = 100; // 10 to 400
    int pagePercent = 100;  // 10 to 100
    bool keepProportions = true;
    Alignment alignment = Alignment::Centred;
};

struct PageLayout {
    int scaleX = 1; // FX, FY
    int scaleY = 1;
    int usableHeight = 0; // PH': the page height above the footer band
    int x = 0;            // the picture's destination rectangle
    int y = 0;
    int width = 0;
    int height = 0;
    int footerX = 0;    // the first footer line's origin
    int footerY = 0;
    int footerStep = 0; // from one footer line to the next
};

// Nearest integer, ties to even.
int64_t RoundHalfEven(double value);
// a × b / c with the product in 64 bits, rounded to the nearest integer
// (ties away from zero); 0 when c is 0.
int64_t MulDiv(int64_t a, int64_t b, int64_t c);
// Printer dots per screen pixel: round(printer / screen) + 1.
int DeviceScale(int printerDpi, int screenDpi);

PageLayout ComputePageLayout(const PageRequest& request);

} // namespace kaptivus::print
