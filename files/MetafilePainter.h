// The drawing state both metafile players share: mapping modes, window and
// viewport, pen, brush, current position and the saved-state stack, turning
// logical coordinates into output pixels on a MetafileCanvas. No Qt, no X11.
#pragma once

#include "files/MetafileCanvas.h"

#include <vector>

namespace kaptivus::files::metafile {

enum MapMode : int {
    kMapText = 1,
    kMapLoMetric = 2,
    kMapHiMetric = 3,
    kMapLoEnglish = 4,
    kMapHiEnglish = 5,
    kMapTwips = 6,
    kMapIsotropic = 7,
    kMapAnisotropic = 8,
};

struct DcState {
    int mapMode = kMapText;
    PointD windowOrg;
    PointD windowExt { 1, 1 };
    PointD viewportOrg;
    PointD viewportExt { 1, 1 };
    Affine world;
    Pen pen;
    Brush brush;
    PointD position;
    bool winding = false;
};

// A pen, a brush, or an object the players keep only so indices stay right.
struct GdiObject {
    enum class Kind { None, Pen, Brush, Other } kind = Kind::None;
    Pen pen;
    Brush brush;
};

// Stock objects by their index (the low bits of a stock handle).
GdiObject StockObject(uint32_t index);

class MetafilePainter {
public:
    // deviceToOutput: from device pixels to the canvas; pixelsPerMm: of the
    // reference device, for the metric and English mapping modes.
    MetafilePainter(MetafileCanvas& canvas, const Affine& deviceToOutput, PointD pixelsPerMm);

    DcState& dc() { return m_dc; }
    MetafileCanvas& canvas() { return m_canvas; }
    void select(const GdiObject& object);
    void saveDc();
    // Negative: that many states back; positive: the state of that number.
    void restoreDc(int which);

    PointD toOutput(PointD logical) const { return transform().map(logical); }
    void polygons(const std::vector<PointD>& points, const std::vector<size_t>& counts);
    void polyline(const std::vector<PointD>& points);
    void rectangle(PointD corner, PointD opposite);
    void ellipse(PointD corner, PointD opposite);
    // The rectangle filled with the brush, without a frame.
    void fillRectangle(PointD corner, PointD opposite, const Brush& brush);
    void moveTo(PointD p) { m_dc.position = p; }
    void lineTo(PointD p);
    void setPixel(PointD p, pixels::Color colour) { m_canvas.setPixel(toOutput(p), colour); }
    // Logical destination origin and extent.
    void bitmap(const DibView& dib, const SourceRect& source, PointD origin, PointD extent, uint32_t rop);
    void patternBlt(PointD origin, PointD extent, uint32_t rop);

private:
    Affine transform() const;
    Affine pageToDevice() const;
    double penWidth() const;
    void outline(const std::vector<PointD>& output, bool closed);

    MetafileCanvas& m_canvas;
    Affine m_deviceToOutput;
    PointD m_pixelsPerMm;
    DcState m_dc;
    std::vector<DcState> m_saved;
};

// Cubic Bézier runs (start, then three points a curve) as line segments.
std::vector<PointD> FlattenBeziers(PointD start, const std::vector<PointD>& points);

} // namespace kaptivus::files::metafile
