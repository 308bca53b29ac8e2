#include "files/MetafilePainter.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kaptivus::files::metafile {

namespace {

// Deeper nesting than any drawing program produces; the bound keeps a file of
// nothing but save records from growing the stack without end.
constexpr size_t kMaxSavedStates = 1024;
constexpr int kBezierSegments = 8;

GdiObject SolidBrush(pixels::Color colour)
{
    GdiObject o;
    o.kind = GdiObject::Kind::Brush;
    o.brush = Brush { true, colour, -1 };
    return o;
}

GdiObject SolidPen(pixels::Color colour, bool visible = true)
{
    GdiObject o;
    o.kind = GdiObject::Kind::Pen;
    o.pen = Pen { visible, colour, 0 };
    return o;
}

} // namespace

GdiObject StockObject(uint32_t index)
{
    switch (index) {
    case 0:
        return SolidBrush(0xFFFFFF);
    case 1:
        return SolidBrush(0xC0C0C0);
    case 2:
        return SolidBrush(0x808080);
    case 3:
        return SolidBrush(0x404040);
    case 4:
        return SolidBrush(0x000000);
    case 5: {
        GdiObject hollow = SolidBrush(0);
        hollow.brush.visible = false;
        return hollow;
    }
    case 6:
        return SolidPen(0xFFFFFF);
    case 7:
        return SolidPen(0x000000);
    case 8:
        return SolidPen(0, false);
    case 18:
        return SolidBrush(0xFFFFFF); // the DC brush, white until set
    case 19:
        return SolidPen(0x000000); // the DC pen, black until set
    default:
        return GdiObject { GdiObject::Kind::Other, {}, {} };
    }
}

MetafilePainter::MetafilePainter(MetafileCanvas& canvas, const Affine& deviceToOutput, PointD pixelsPerMm)
    : m_canvas(canvas)
    , m_deviceToOutput(deviceToOutput)
    , m_pixelsPerMm(pixelsPerMm)
{
}

void MetafilePainter::select(const GdiObject& object)
{
    if (object.kind == GdiObject::Kind::Pen) m_dc.pen = object.pen;
    if (object.kind == GdiObject::Kind::Brush) m_dc.brush = object.brush;
}

void MetafilePainter::saveDc()
{
    if (m_saved.size() < kMaxSavedStates) m_saved.push_back(m_dc);
}

void MetafilePainter::restoreDc(int which)
{
    const auto depth = static_cast<int64_t>(m_saved.size());
    const int64_t keep = which < 0 ? depth + which : int64_t { which } - 1;
    if (which == 0 || keep < 0 || keep >= depth) return;
    m_dc = m_saved[static_cast<size_t>(keep)];
    m_saved.resize(static_cast<size_t>(keep));
}

Affine MetafilePainter::pageToDevice() const
{
    double sx = 1;
    double sy = 1;
    auto metric = [&](double mmPerUnit) {
        sx = mmPerUnit * m_pixelsPerMm.x;
        sy = -mmPerUnit * m_pixelsPerMm.y; // these modes count y upwards
    };
    switch (m_dc.mapMode) {
    case kMapLoMetric:
        metric(0.1);
        break;
    case kMapHiMetric:
        metric(0.01);
        break;
    case kMapLoEnglish:
        metric(0.254);
        break;
    case kMapHiEnglish:
        metric(0.0254);
        break;
    case kMapTwips:
        metric(25.4 / 1440);
        break;
    case kMapIsotropic:
    case kMapAnisotropic: {
        sx = m_dc.viewportExt.x / (m_dc.windowExt.x != 0 ? m_dc.windowExt.x : 1);
        sy = m_dc.viewportExt.y / (m_dc.windowExt.y != 0 ? m_dc.windowExt.y : 1);
        if (m_dc.mapMode == kMapIsotropic) {
            const double m = std::min(std::fabs(sx), std::fabs(sy));
            sx = std::copysign(m, sx);
            sy = std::copysign(m, sy);
        }
        break;
    }
    default:
        break;
    }
    return Affine { sx, 0, 0, sy, m_dc.viewportOrg.x - m_dc.windowOrg.x * sx,
        m_dc.viewportOrg.y - m_dc.windowOrg.y * sy };
}

Affine MetafilePainter::transform() const
{
    return m_dc.world.then(pageToDevice()).then(m_deviceToOutput);
}

double MetafilePainter::penWidth() const
{
    return std::max(m_dc.pen.width * transform().scale(), 1.0);
}

void MetafilePainter::outline(const std::vector<PointD>& output, bool closed)
{
    if (!m_dc.pen.visible || output.empty()) return;
    const double width = penWidth();
    for (size_t i = 0; i + 1 < output.size(); ++i)
        m_canvas.strokeLine(output[i], output[i + 1], m_dc.pen.colour, width);
    if (closed && output.size() > 2) m_canvas.strokeLine(output.back(), output.front(), m_dc.pen.colour, width);
}

void MetafilePainter::polygons(const std::vector<PointD>& points, const std::vector<size_t>& counts)
{
    std::vector<PointD> output(points.size());
    std::transform(points.begin(), points.end(), output.begin(), [this](PointD p) { return toOutput(p); });
    m_canvas.fillPolygons(output, counts, m_dc.brush, m_dc.winding);
    size_t start = 0;
    for (const size_t count : counts) {
        if (count > output.size() - start) break;
        outline(std::vector<PointD>(
                    output.begin() + static_cast<long>(start), output.begin() + static_cast<long>(start + count)),
            true);
        start += count;
    }
}

void MetafilePainter::polyline(const std::vector<PointD>& points)
{
    std::vector<PointD> output(points.size());
    std::transform(points.begin(), points.end(), output.begin(), [this](PointD p) { return toOutput(p); });
    outline(output, false);
}

void MetafilePainter::rectangle(PointD a, PointD b)
{
    const Affine t = transform();
    const std::vector<PointD> corners { t.map(a), t.map({ b.x, a.y }), t.map(b), t.map({ a.x, b.y }) };
    m_canvas.fillPolygons(corners, { 4 }, m_dc.brush, false);
    if (t.b == 0 && t.c == 0 && penWidth() <= 1.5) {
        // A thin frame lies on the rectangle's outermost pixels, inside its right and bottom edges.
        const PointD p0 = corners[0];
        const PointD p2 = corners[2];
        const double left = std::min(p0.x, p2.x);
        const double top = std::min(p0.y, p2.y);
        const double right = std::max(left, std::max(p0.x, p2.x) - 1);
        const double bottom = std::max(top, std::max(p0.y, p2.y) - 1);
        outline({ { left, top }, { right, top }, { right, bottom }, { left, bottom } }, true);
        return;
    }
    outline(corners, true);
}

void MetafilePainter::fillRectangle(PointD a, PointD b, const Brush& brush)
{
    const Affine t = transform();
    m_canvas.fillPolygons({ t.map(a), t.map({ b.x, a.y }), t.map(b), t.map({ a.x, b.y }) }, { 4 }, brush, false);
}

void MetafilePainter::ellipse(PointD a, PointD b)
{
    const PointD centre { (a.x + b.x) / 2, (a.y + b.y) / 2 };
    const PointD radius { std::fabs(b.x - a.x) / 2, std::fabs(b.y - a.y) / 2 };
    const double around = 2 * std::numbers::pi * std::max(radius.x, radius.y) * transform().scale();
    const int count = static_cast<int>(std::clamp(std::isfinite(around) ? around / 3 : 0.0, 12.0, 720.0));
    std::vector<PointD> points(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        const double angle = 2 * std::numbers::pi * i / count;
        points[static_cast<size_t>(i)]
            = { centre.x + radius.x * std::cos(angle), centre.y + radius.y * std::sin(angle) };
    }
    polygons(points, { points.size() });
}

void MetafilePainter::lineTo(PointD p)
{
    if (m_dc.pen.visible) m_canvas.strokeLine(toOutput(m_dc.position), toOutput(p), m_dc.pen.colour, penWidth());
    m_dc.position = p;
}

void MetafilePainter::bitmap(const DibView& dib, const SourceRect& source, PointD origin, PointD extent, uint32_t rop)
{
    m_canvas.drawBitmap(
        dib, source, toOutput(origin), toOutput({ origin.x + extent.x, origin.y + extent.y }), rop, m_dc.brush);
}

void MetafilePainter::patternBlt(PointD origin, PointD extent, uint32_t rop)
{
    m_canvas.patternBlt(toOutput(origin), toOutput({ origin.x + extent.x, origin.y + extent.y }), rop, m_dc.brush);
}

std::vector<PointD> FlattenBeziers(PointD start, const std::vector<PointD>& points)
{
    std::vector<PointD> out { start };
    out.reserve(1 + points.size() / 3 * kBezierSegments);
    PointD p0 = start;
    for (size_t i = 0; i + 2 < points.size(); i += 3) {
        const PointD p1 = points[i];
        const PointD p2 = points[i + 1];
        const PointD p3 = points[i + 2];
        for (int k = 1; k <= kBezierSegments; ++k) {
            const double t = static_cast<double>(k) / kBezierSegments;
            const double u = 1 - t;
            const double w0 = u * u * u, w1 = 3 * u * u * t, w2 = 3 * u * t * t, w3 = t * t * t;
            out.push_back(
                { w0 * p0.x + w1 * p1.x + w2 * p2.x + w3 * p3.x, w0 * p0.y + w1 * p1.y + w2 * p2.y + w3 * p3.y });
        }
        p0 = p3;
    }
    return out;
}

} // namespace kaptivus::files::metafile
