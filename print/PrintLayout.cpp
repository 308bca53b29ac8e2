#include "print/PrintLayout.h"

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <limits>

namespace kaptivus::print {

int64_t RoundHalfEven(double value)
{
    // nearbyint follows the current rounding mode; the default one is ties to even.
    const int previous = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double rounded = std::nearbyint(value);
    std::fesetround(previous);
    return static_cast<int64_t>(rounded);
}

int64_t MulDiv(int64_t a, int64_t b, int64_t c)
{
    if (c == 0)
        return 0;
    const int64_t product = a * b; // the callers' operands are page sizes and percentages
    const bool negative = (product < 0) != (c < 0);
    const int64_t num = product < 0 ? -product : product;
    const int64_t den = c < 0 ? -c : c;
    const int64_t q = (num + den / 2) / den;
    return negative ? -q : q;
}

int DeviceScale(int printerDpi, int screenDpi)
{
    if (screenDpi <= 0)
        screenDpi = 96;
    return static_cast<int>(RoundHalfEven(double(std::max(printerDpi, 0)) / screenDpi)) + 1;
}

namespace {

struct Size {
    int64_t w;
    int64_t h;
};

Size FitToPage(Size s, int64_t pageWidth, int64_t usableHeight, bool keepProportions)
{
    if (!keepProportions)
        return {std::min(s.w, pageWidth), std::min(s.h, usableHeight)};
    if (s.w >= pageWidth) {
        const double r = double(s.w) / double(pageWidth);
        s.h = RoundHalfEven(double(s.h) / r);
        s.w = pageWidth;
    }
    if (s.h >= usableHeight) {
        const double r = double(s.h) / double(usableHeight);
        s.w = RoundHalfEven(double(s.w) / r);
        s.h = usableHeight;
    }
    return s;
}

} // namespace

PageLayout ComputePageLayout(const PageRequest& q)
{
    PageLayout out;
    out.scaleX = DeviceScale(q.printerDpiX, q.screenDpiX);
    out.scaleY = DeviceScale(q.printerDpiY, q.screenDpiY);
    const int64_t pageWidth = std::max(q.pageWidth, 1);
    const int lines = 1 + std::clamp(q.footerLines, 0, 3);
    // One line's height stays free at the bottom even without a footer.
    const int64_t usable = std::max<int64_t>(int64_t(q.pageHeight) - int64_t(lines) * q.textHeight, 1);
    out.usableHeight = int(usable);

    Size s{int64_t(std::max(q.pictureWidth, 0)) * out.scaleX, int64_t(std::max(q.pictureHeight, 0)) * out.scaleY};
    if (q.scaling == Scaling::ImagePercent)
        s = {MulDiv(s.w, q.imagePercent, 100), MulDiv(s.h, q.imagePercent, 100)};
    s = FitToPage(s, pageWidth, usable, q.keepProportions);
    if (q.scaling == Scaling::PagePercent)
        s = {MulDiv(s.w, q.pagePercent, 100), MulDiv(s.h, q.pagePercent, 100)};
    // A long thin picture fitted to the page must not round away to nothing.
    if (q.pictureWidth > 0 && q.pictureHeight > 0)
        s = {std::max<int64_t>(s.w, 1), std::max<int64_t>(s.h, 1)};
    out.width = int(s.w);
    out.height = int(s.h);

    const int right = int(pageWidth - s.w);
    const int bottom = int(usable - s.h);
    switch (q.alignment) {
    case Alignment::Centred: out.x = right / 2; out.y = bottom / 2; break;
    case Alignment::TopLeft: out.x = 0; out.y = 0; break;
    case Alignment::TopRight: out.x = right; out.y = 0; break;
    case Alignment::BottomLeft: out.x = 0; out.y = bottom; break;
    case Alignment::BottomRight: out.x = right; out.y = bottom; break;
    }
    out.footerX = q.textHeight / 2;
    out.footerY = int(usable) + q.textHeight / 2;
    out.footerStep = q.textHeight;
    return out;
}

} // namespace kaptivus::print
