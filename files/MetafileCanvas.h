// The raster surface metafiles are played onto: a 24-bit picture on white
// that takes polygons, lines and stretched bitmaps in output pixels. Every
// operation is charged against a work budget first, so no file can make the
// player run for long. No Qt, no X11.
#pragma once

#include "files/MetafileDib.h"
#include "pixels/Picture.h"

#include <cstdint>
#include <vector>

namespace kaptivus::files::metafile {

struct PointD {
    double x = 0;
    double y = 0;
};

// x' = a x + c y + e, y' = b x + d y + f.
struct Affine {
    double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;

    PointD map(PointD p) const { return { a * p.x + c * p.y + e, b * p.x + d * p.y + f }; }
    // This transform, then next.
    Affine then(const Affine& next) const;
    // How much a length grows on average (the root of the area factor).
    double scale() const;
};

struct Brush {
    bool visible = true;
    pixels::Color colour = 0xFFFFFF;
    int hatch = -1; // -1 solid; 0..5 the six hatch patterns
};

struct Pen {
    bool visible = true;
    pixels::Color colour = 0;
    double width = 0; // logical units; 0 is one pixel whatever the scale
};

// A bitmap's source rectangle, row 0 at the top.
struct SourceRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

class MetafileCanvas {
public:
    // A white picture of the size; ok() is false when the memory cannot be had.
    MetafileCanvas(int width, int height, int64_t workBudget);

    bool ok() const { return !m_picture.isEmpty(); }
    bool exhausted() const { return m_exhausted; }
    int width() const { return m_picture.width(); }
    int height() const { return m_picture.height(); }
    // Takes units of work from the budget; false (for good) once it is spent.
    bool charge(int64_t units);

    // Pixels whose centres lie inside, by the even-odd or the winding rule.
    void fillPolygons(
        const std::vector<PointD>& points, const std::vector<size_t>& counts, const Brush& brush, bool winding);
    // A line of the width in output pixels; the end point itself is left out,
    // so the segments of a path meet without drawing a pixel twice.
    void strokeLine(PointD from, PointD to, pixels::Color colour, double width);
    void setPixel(PointD at, pixels::Color colour);
    // The source rectangle stretched (mirrored when a corner pair is reversed)
    // onto the output rectangle from topLeft to bottomRight, combined with the
    // destination and the brush by the ternary raster operation rop.
    void drawBitmap(
        const DibView& dib, SourceRect source, PointD topLeft, PointD bottomRight, uint32_t rop, const Brush& brush);
    void patternBlt(PointD topLeft, PointD bottomRight, uint32_t rop, const Brush& brush);

    pixels::Picture take() { return std::move(m_picture); }

private:
    struct Span {
        int first = 0;
        int last = -1; // inclusive
    };
    Span columns(double from, double to) const;
    Span rows(double from, double to) const;
    pixels::PixelBGR* row(int y) { return reinterpret_cast<pixels::PixelBGR*>(m_picture.scanLine(y)); }
    void fillSpan(int y, double from, double to, const Brush& brush);
    void strokeThin(PointD from, PointD to, pixels::Color colour);

    pixels::Picture m_picture;
    int64_t m_budget = 0;
    bool m_exhausted = false;
};

// The ternary raster operation (bits 16..23 of a raster-operation code)
// applied to one channel of pattern, source and destination.
uint8_t ApplyRop3(uint8_t rop3, uint8_t pattern, uint8_t source, uint8_t destination);

} // namespace kaptivus::files::metafile
