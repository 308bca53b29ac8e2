#include "files/MetafileCanvas.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

namespace kaptivus::files::metafile {

namespace {

constexpr uint8_t kSrcCopy3 = 0xCC;
// Far enough off the picture that clamping changes nothing drawn, near enough
// that every product of two such values stays an exact, finite double.
constexpr double kFar = 1e9;

double Tame(double v)
{
    return std::isnan(v) ? -kFar : std::clamp(v, -kFar, kFar);
}

bool OnHatch(int x, int y, int hatch)
{
    const bool horizontal = (y & 7) == 0;
    const bool vertical = (x & 7) == 0;
    const bool falling = ((x - y) & 7) == 0;
    const bool rising = ((x + y) & 7) == 0;
    switch (hatch) {
    case 0:
        return horizontal;
    case 1:
        return vertical;
    case 2:
        return falling;
    case 3:
        return rising;
    case 4:
        return horizontal || vertical;
    case 5:
        return falling || rising;
    default:
        return true;
    }
}

bool UsesPattern(uint8_t rop3)
{
    return ((rop3 >> 4) & 0x0F) != (rop3 & 0x0F);
}

pixels::PixelBGR Combine(uint8_t rop3, pixels::PixelBGR pattern, pixels::PixelBGR source, pixels::PixelBGR destination)
{
    return pixels::PixelBGR { ApplyRop3(rop3, pattern.b, source.b, destination.b),
        ApplyRop3(rop3, pattern.g, source.g, destination.g), ApplyRop3(rop3, pattern.r, source.r, destination.r) };
}

} // namespace

Affine Affine::then(const Affine& n) const
{
    return Affine { n.a * a + n.c * b, n.b * a + n.d * b, n.a * c + n.c * d, n.b * c + n.d * d, n.a * e + n.c * f + n.e,
        n.b * e + n.d * f + n.f };
}

double Affine::scale() const
{
    return std::sqrt(std::fabs(a * d - b * c));
}

uint8_t ApplyRop3(uint8_t rop3, uint8_t pattern, uint8_t source, uint8_t destination)
{
    // Bit i of the code is the result for pattern, source, destination bits
    // (i >> 2, i >> 1, i) & 1; evaluated for all eight bits of a byte at once.
    unsigned result = 0;
    for (int i = 0; i < 8; ++i) {
        if (((rop3 >> i) & 1) == 0) continue;
        const unsigned p = (i & 4) ? pattern : static_cast<uint8_t>(~pattern);
        const unsigned s = (i & 2) ? source : static_cast<uint8_t>(~source);
        const unsigned d = (i & 1) ? destination : static_cast<uint8_t>(~destination);
        result |= p & s & d;
    }
    return static_cast<uint8_t>(result);
}

MetafileCanvas::MetafileCanvas(int width, int height, int64_t workBudget)
    : m_picture(pixels::Picture::create(width, height, pixels::PixelFormat::Bits24))
    , m_budget(workBudget)
{
    if (!m_picture.isEmpty()) std::memset(m_picture.scanLine(0), 0xFF, m_picture.bits().size());
}

bool MetafileCanvas::charge(int64_t units)
{
    if (m_exhausted || units > m_budget) {
        m_exhausted = true;
        return false;
    }
    m_budget -= units;
    return true;
}

// Pixels whose centres lie in [from, to).
MetafileCanvas::Span MetafileCanvas::columns(double from, double to) const
{
    Span s;
    s.first = static_cast<int>(std::max(std::ceil(Tame(from) - 0.5), 0.0));
    s.last = static_cast<int>(std::min(std::ceil(Tame(to) - 0.5), static_cast<double>(width()))) - 1;
    return s;
}

MetafileCanvas::Span MetafileCanvas::rows(double from, double to) const
{
    Span s;
    s.first = static_cast<int>(std::max(std::ceil(Tame(from) - 0.5), 0.0));
    s.last = static_cast<int>(std::min(std::ceil(Tame(to) - 0.5), static_cast<double>(height()))) - 1;
    return s;
}

void MetafileCanvas::fillSpan(int y, double from, double to, const Brush& brush)
{
    const Span xs = columns(from, to);
    if (xs.first > xs.last || !charge(xs.last - xs.first + 1)) return;
    const pixels::PixelBGR colour = pixels::ColorToPixel(brush.colour & 0xFFFFFF);
    pixels::PixelBGR* line = row(y);
    for (int x = xs.first; x <= xs.last; ++x)
        if (brush.hatch < 0 || OnHatch(x, y, brush.hatch)) line[x] = colour;
}

void MetafileCanvas::fillPolygons(
    const std::vector<PointD>& points, const std::vector<size_t>& counts, const Brush& brush, bool winding)
{
    if (!brush.visible || m_exhausted) return;
    struct Edge {
        double x0, y0, x1, y1;
        int direction;
    };
    std::vector<Edge> edges;
    edges.reserve(points.size());
    double top = kFar;
    double bottom = -kFar;
    size_t start = 0;
    for (const size_t count : counts) {
        if (count > points.size() - start) break;
        for (size_t i = 0; i < count; ++i) {
            PointD a = points[start + i];
            PointD b = points[start + (i + 1) % count];
            a = { Tame(a.x), Tame(a.y) };
            b = { Tame(b.x), Tame(b.y) };
            top = std::min(top, a.y);
            bottom = std::max(bottom, a.y);
            if (a.y == b.y) continue;
            edges.push_back(a.y < b.y ? Edge { a.x, a.y, b.x, b.y, 1 } : Edge { b.x, b.y, a.x, a.y, -1 });
        }
        start += count;
    }
    const Span ys = rows(top, bottom);
    if (edges.empty() || ys.first > ys.last) return;
    if (!charge(static_cast<int64_t>(ys.last - ys.first + 1) * static_cast<int64_t>(edges.size() + 1))) return;
    std::vector<std::pair<double, int>> crossings;
    for (int y = ys.first; y <= ys.last && !m_exhausted; ++y) {
        const double sy = y + 0.5;
        crossings.clear();
        for (const Edge& e : edges)
            if (e.y0 <= sy && sy < e.y1)
                crossings.emplace_back(e.x0 + (sy - e.y0) * (e.x1 - e.x0) / (e.y1 - e.y0), e.direction);
        std::sort(crossings.begin(), crossings.end());
        int inside = 0;
        for (size_t i = 0; i + 1 < crossings.size(); ++i) {
            inside = winding ? inside + crossings[i].second : (inside ^ 1);
            if (inside != 0) fillSpan(y, crossings[i].first, crossings[i + 1].first, brush);
        }
    }
}

void MetafileCanvas::strokeThin(PointD from, PointD to, pixels::Color colour)
{
    // Clip to the picture (with a margin) first: a line from far away costs
    // only the pixels it can reach.
    double t0 = 0;
    double t1 = 1;
    const double dx = to.x - from.x;
    const double dy = to.y - from.y;
    const double edges[4][2]
        = { { -dx, from.x + 2 }, { dx, width() + 2 - from.x }, { -dy, from.y + 2 }, { dy, height() + 2 - from.y } };
    for (const auto& [p, q] : edges) {
        if (p == 0) {
            if (q < 0) return;
            continue;
        }
        const double t = q / p;
        if (p < 0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
    }
    if (!(t0 < t1)) return;
    const double steps = std::ceil(std::max(std::fabs(dx), std::fabs(dy)) * (t1 - t0));
    if (!(steps >= 1) || !charge(static_cast<int64_t>(steps))) return;
    const pixels::PixelBGR pixel = pixels::ColorToPixel(colour & 0xFFFFFF);
    const auto count = static_cast<int64_t>(steps);
    for (int64_t i = 0; i < count; ++i) {
        const double t = t0 + (t1 - t0) * static_cast<double>(i) / steps;
        // A hair over the exact grid: a point at 3.0 computed as 2.9999999 is still pixel 3.
        const double x = std::floor(from.x + dx * t + 1e-7);
        const double y = std::floor(from.y + dy * t + 1e-7);
        if (x >= 0 && y >= 0 && x < width() && y < height()) row(static_cast<int>(y))[static_cast<int>(x)] = pixel;
    }
}

void MetafileCanvas::strokeLine(PointD from, PointD to, pixels::Color colour, double lineWidth)
{
    if (m_exhausted) return;
    from = { Tame(from.x), Tame(from.y) };
    to = { Tame(to.x), Tame(to.y) };
    if (!(lineWidth > 1.5)) {
        strokeThin(from, to, colour);
        return;
    }
    const double length = std::hypot(to.x - from.x, to.y - from.y);
    if (length == 0) return;
    const double half = std::min(lineWidth, kFar) / 2;
    const PointD n { -(to.y - from.y) / length * half, (to.x - from.x) / length * half };
    const std::vector<PointD> quad { { from.x + n.x, from.y + n.y }, { to.x + n.x, to.y + n.y },
        { to.x - n.x, to.y - n.y }, { from.x - n.x, from.y - n.y } };
    fillPolygons(quad, { 4 }, Brush { true, colour, -1 }, true);
}

void MetafileCanvas::setPixel(PointD at, pixels::Color colour)
{
    const double x = std::floor(Tame(at.x) + 1e-7);
    const double y = std::floor(Tame(at.y) + 1e-7);
    if (x < 0 || y < 0 || x >= width() || y >= height() || !charge(1)) return;
    row(static_cast<int>(y))[static_cast<int>(x)] = pixels::ColorToPixel(colour & 0xFFFFFF);
}

void MetafileCanvas::drawBitmap(
    const DibView& dib, SourceRect source, PointD topLeft, PointD bottomRight, uint32_t rop, const Brush& brush)
{
    const auto rop3 = static_cast<uint8_t>(rop >> 16);
    if (m_exhausted || source.width == 0 || source.height == 0) return;
    if (UsesPattern(rop3) && !brush.visible) return;
    // A negative source extent mirrors, like a reversed destination.
    int64_t sx = source.x;
    int64_t sy = source.y;
    int64_t sw = source.width;
    int64_t sh = source.height;
    if (sw < 0) {
        sx += sw;
        sw = -sw;
        std::swap(topLeft.x, bottomRight.x);
    }
    if (sh < 0) {
        sy += sh;
        sh = -sh;
        std::swap(topLeft.y, bottomRight.y);
    }
    topLeft = { Tame(topLeft.x), Tame(topLeft.y) };
    bottomRight = { Tame(bottomRight.x), Tame(bottomRight.y) };
    const Span xs = columns(std::min(topLeft.x, bottomRight.x), std::max(topLeft.x, bottomRight.x));
    const Span ys = rows(std::min(topLeft.y, bottomRight.y), std::max(topLeft.y, bottomRight.y));
    if (xs.first > xs.last || ys.first > ys.last) return;
    if (!charge(static_cast<int64_t>(xs.last - xs.first + 1) * (ys.last - ys.first + 1))) return;

    // Each output pixel takes the source pixel under its centre; -1: off the bitmap.
    auto sourceIndex = [](int out, double from, double to, int64_t first, int64_t count, int limit) {
        const double u = (out + 0.5 - from) / (to - from);
        const auto step = static_cast<int64_t>(
            std::clamp(std::floor(u * static_cast<double>(count)), 0.0, static_cast<double>(count - 1)));
        const int64_t s = first + step;
        return s >= 0 && s < limit ? static_cast<int>(s) : -1;
    };
    std::vector<int> sourceX(static_cast<size_t>(xs.last - xs.first + 1));
    for (int x = xs.first; x <= xs.last; ++x)
        sourceX[static_cast<size_t>(x - xs.first)] = sourceIndex(x, topLeft.x, bottomRight.x, sx, sw, dib.width());
    const pixels::PixelBGR pattern = pixels::ColorToPixel(brush.colour & 0xFFFFFF);
    for (int y = ys.first; y <= ys.last; ++y) {
        const int line = sourceIndex(y, topLeft.y, bottomRight.y, sy, sh, dib.height());
        if (line < 0) continue;
        pixels::PixelBGR* out = row(y);
        for (int x = xs.first; x <= xs.last; ++x) {
            const int column = sourceX[static_cast<size_t>(x - xs.first)];
            if (column < 0) continue;
            const pixels::PixelBGR s = dib.pixel(column, line);
            out[x] = rop3 == kSrcCopy3 ? s : Combine(rop3, pattern, s, out[x]);
        }
    }
}

void MetafileCanvas::patternBlt(PointD topLeft, PointD bottomRight, uint32_t rop, const Brush& brush)
{
    const auto rop3 = static_cast<uint8_t>(rop >> 16);
    if (m_exhausted || (UsesPattern(rop3) && !brush.visible)) return;
    const Span xs = columns(std::min(topLeft.x, bottomRight.x), std::max(topLeft.x, bottomRight.x));
    const Span ys = rows(std::min(topLeft.y, bottomRight.y), std::max(topLeft.y, bottomRight.y));
    if (xs.first > xs.last || ys.first > ys.last) return;
    if (!charge(static_cast<int64_t>(xs.last - xs.first + 1) * (ys.last - ys.first + 1))) return;
    const pixels::PixelBGR pattern = pixels::ColorToPixel(brush.colour & 0xFFFFFF);
    for (int y = ys.first; y <= ys.last; ++y) {
        pixels::PixelBGR* out = row(y);
        for (int x = xs.first; x <= xs.last; ++x)
            out[x] = Combine(rop3, pattern, pixels::PixelBGR {}, out[x]);
    }
}

} // namespace kaptivus::files::metafile
