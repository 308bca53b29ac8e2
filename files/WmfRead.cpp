#include "files/Metafile.h"
#include "files/MetafileFormat.h"
#include "files/MetafilePlayer.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <string>

namespace kaptivus::files {

using namespace metafile;

namespace {

enum MetaFunction : uint16_t {
    kSaveDc = 0x001E,
    kCreatePalette = 0x00F7,
    kSetPolyFillMode = 0x0106,
    kRestoreDc = 0x0127,
    kSelectObject = 0x012D,
    kDibCreatePatternBrush = 0x0142,
    kDeleteObject = 0x01F0,
    kCreatePatternBrush = 0x01F9,
    kOffsetWindowOrg = 0x020F,
    kLineTo = 0x0213,
    kMoveTo = 0x0214,
    kCreatePenIndirect = 0x02FA,
    kCreateFontIndirect = 0x02FB,
    kCreateBrushIndirect = 0x02FC,
    kPolygon = 0x0324,
    kPolyline = 0x0325,
    kScaleWindowExt = 0x0410,
    kEllipse = 0x0418,
    kRectangle = 0x041B,
    kSetPixel = 0x041F,
    kPolyPolygon = 0x0538,
    kRoundRect = 0x061C,
    kPatBlt = 0x061D,
    kCreateRegion = 0x06FF,
    kDibBitBlt = 0x0940,
    kDibStretchBlt = 0x0B41,
    kSetDibToDev = 0x0D33,
};

constexpr size_t kMaxObjects = 65536; // object indices are 16-bit
constexpr uint16_t kPenStyleNull = 5;
constexpr uint16_t kBrushStyleNull = 1;
constexpr uint16_t kBrushStyleHatched = 2;

// Walks the records from start, each one's size checked against the bytes
// left, until the end record or the end of the bytes.
template <typename Visit> CodecStatus ForEachRecord(Bytes bytes, size_t start, Visit&& visit)
{
    for (size_t at = start; at < bytes.size();) {
        if (bytes.size() - at < 6) return CodecStatus::failure("WMF record truncated");
        const RecordView head(bytes.subspan(at, 6));
        const uint64_t size = uint64_t { head.u32(0) } * 2;
        // A record shorter than its own size and function would never move the player on.
        if (size < 6) return CodecStatus::failure("WMF record of impossible size " + std::to_string(size / 2));
        if (size > bytes.size() - at) return CodecStatus::failure("WMF record runs past the end of the file");
        if (head.u16(4) == kMetaEof) break;
        const CodecStatus status = visit(head.u16(4), RecordView(bytes.subspan(at, static_cast<size_t>(size))));
        if (!status) return status;
        at += static_cast<size_t>(size);
    }
    return CodecStatus::success();
}

// Most WMF points are stored y first.
PointD YX(const RecordView& r, size_t at)
{
    return { static_cast<double>(r.i16(at + 2)), static_cast<double>(r.i16(at)) };
}
PointD XY(const RecordView& r, size_t at)
{
    return { static_cast<double>(r.i16(at)), static_cast<double>(r.i16(at + 2)) };
}

class WmfPlayer {
public:
    explicit WmfPlayer(MetafilePainter& painter)
        : m_painter(painter)
    {
    }

    CodecStatus play(uint16_t function, const RecordView& r);

private:
    void mapping(uint16_t function, const RecordView& r);
    void create(uint16_t function, const RecordView& r);
    void remove(uint16_t index);
    void polyPolygon(const RecordView& r);
    CodecStatus bitmap(uint16_t function, const RecordView& r);

    MetafilePainter& m_painter;
    // Each new object takes the lowest free index.
    std::vector<GdiObject> m_objects;
    std::set<size_t> m_free;
};

CodecStatus WmfPlayer::play(uint16_t function, const RecordView& r)
{
    switch (function) {
    case kOffsetWindowOrg:
    case kScaleWindowExt:
    case kMetaSetWindowOrg:
    case kMetaSetWindowExt:
        mapping(function, r);
        break;
    case kSaveDc:
        m_painter.saveDc();
        break;
    case kRestoreDc:
        m_painter.restoreDc(r.i16(6));
        break;
    case kSetPolyFillMode:
        m_painter.dc().winding = r.u16(6) == 2;
        break;
    case kSelectObject:
        if (r.u16(6) < m_objects.size()) m_painter.select(m_objects[r.u16(6)]);
        break;
    case kDeleteObject:
        remove(r.u16(6));
        break;
    case kCreatePalette:
    case kDibCreatePatternBrush:
    case kCreatePatternBrush:
    case kCreatePenIndirect:
    case kCreateFontIndirect:
    case kCreateBrushIndirect:
    case kCreateRegion:
        create(function, r);
        break;
    case kMoveTo:
        m_painter.moveTo(YX(r, 6));
        break;
    case kLineTo:
        m_painter.lineTo(YX(r, 6));
        break;
    // Rectangles: bottom, right, top, left (a rounded one first its corner size).
    case kRectangle:
        m_painter.rectangle(YX(r, 10), YX(r, 6));
        break;
    case kRoundRect:
        m_painter.rectangle(YX(r, 14), YX(r, 10));
        break;
    case kEllipse:
        m_painter.ellipse(YX(r, 10), YX(r, 6));
        break;
    case kSetPixel:
        m_painter.setPixel(YX(r, 10), r.u32(6));
        break;
    case kPolygon:
    case kPolyline: {
        const int16_t count = r.i16(6);
        const auto points = ReadPoints(r, 8, count > 0 ? static_cast<uint64_t>(count) : 0, true);
        if (!points || points->empty()) break;
        if (function == kPolygon)
            m_painter.polygons(*points, { points->size() });
        else
            m_painter.polyline(*points);
        break;
    }
    case kPolyPolygon:
        polyPolygon(r);
        break;
    case kPatBlt:
        m_painter.patternBlt(YX(r, 14), YX(r, 10), r.u32(6));
        break;
    case kMetaStretchDib:
    case kDibStretchBlt:
    case kDibBitBlt:
    case kSetDibToDev:
        return bitmap(function, r);
    default:
        break; // records that draw nothing we keep (text, clipping, palettes, escapes)
    }
    return CodecStatus::success();
}

void WmfPlayer::mapping(uint16_t function, const RecordView& r)
{
    // The viewport is the whole picture, whatever the file says of it: a
    // placeable file is always drawn into a given rectangle.
    DcState& dc = m_painter.dc();
    switch (function) {
    case kMetaSetWindowOrg:
        dc.windowOrg = YX(r, 6);
        break;
    case kMetaSetWindowExt:
        dc.windowExt = YX(r, 6);
        break;
    case kOffsetWindowOrg: {
        const PointD by = YX(r, 6);
        dc.windowOrg = { dc.windowOrg.x + by.x, dc.windowOrg.y + by.y };
        break;
    }
    case kScaleWindowExt:
        if (r.i16(10) != 0) dc.windowExt.x = dc.windowExt.x * r.i16(12) / r.i16(10);
        if (r.i16(6) != 0) dc.windowExt.y = dc.windowExt.y * r.i16(8) / r.i16(6);
        break;
    default:
        break;
    }
}

void WmfPlayer::create(uint16_t function, const RecordView& r)
{
    GdiObject o { GdiObject::Kind::Other, {}, {} };
    if (function == kCreatePenIndirect) {
        o.kind = GdiObject::Kind::Pen;
        o.pen = Pen { (r.u16(6) & 0x0F) != kPenStyleNull, r.u32(12) & 0xFFFFFF, std::max<double>(r.i16(8), 0) };
    } else if (function == kCreateBrushIndirect) {
        const uint16_t style = r.u16(6);
        o.kind = GdiObject::Kind::Brush;
        o.brush = Brush { style != kBrushStyleNull, r.u32(8) & 0xFFFFFF,
            style == kBrushStyleHatched && r.u16(12) <= 5 ? static_cast<int>(r.u16(12)) : -1 };
    } else if (function == kDibCreatePatternBrush) {
        DibProblem problem;
        o.kind = GdiObject::Kind::Brush;
        o.brush = PatternBrush(ParsePackedDib(r.rest(10), r.u16(8) == 1, problem));
    }
    if (!m_free.empty()) {
        m_objects[*m_free.begin()] = o;
        m_free.erase(m_free.begin());
    } else if (m_objects.size() < kMaxObjects) {
        m_objects.push_back(o);
    }
}

void WmfPlayer::remove(uint16_t index)
{
    if (index >= m_objects.size() || m_objects[index].kind == GdiObject::Kind::None) return;
    m_objects[index] = GdiObject {};
    m_free.insert(index);
}

void WmfPlayer::polyPolygon(const RecordView& r)
{
    const uint16_t polygons = r.u16(6);
    if (polygons == 0 || !r.has(8, 2 * size_t { polygons })) return;
    std::vector<size_t> counts(polygons);
    uint64_t total = 0;
    for (size_t i = 0; i < polygons; ++i)
        total += counts[i] = r.u16(8 + 2 * i);
    if (const auto points = ReadPoints(r, 8 + 2 * size_t { polygons }, total, true))
        m_painter.polygons(*points, counts);
}

CodecStatus WmfPlayer::bitmap(uint16_t function, const RecordView& r)
{
    BitmapBlit blit;
    size_t dibAt = 0;
    uint16_t usage = 0;
    int64_t rows = 0;
    auto source = [&r](size_t heightAt, size_t yAt) {
        return SourceRect { r.i16(yAt + 2), r.i16(yAt), r.i16(heightAt + 2), r.i16(heightAt) };
    };
    switch (function) {
    case kMetaStretchDib:
        blit = BitmapBlit { source(12, 16), true, YX(r, 24), YX(r, 20), r.u32(6) };
        usage = r.u16(10);
        dibAt = 28;
        break;
    case kDibStretchBlt:
    case kDibBitBlt: {
        const bool stretch = function == kDibStretchBlt;
        // The form without a bitmap keeps one more word and paints with the brush.
        if (r.size() == 2 * size_t { (function >> 8) + 3u }) {
            m_painter.patternBlt(YX(r, stretch ? 24 : 20), YX(r, stretch ? 20 : 16), r.u32(6));
            return CodecStatus::success();
        }
        if (stretch) {
            blit = BitmapBlit { source(10, 14), false, YX(r, 22), YX(r, 18), r.u32(6) };
            dibAt = 26;
        } else {
            const SourceRect s { r.i16(12), r.i16(10), r.i16(16), r.i16(14) };
            blit = BitmapBlit { s, false, YX(r, 18), { static_cast<double>(s.width), static_cast<double>(s.height) },
                r.u32(6) };
            dibAt = 22;
        }
        break;
    }
    default: { // set bits to the device: only the scan lines from the first one the record holds
        const SourceRect s { r.u16(14), static_cast<int>(r.u16(12)) - r.u16(10), r.u16(18), r.u16(16) };
        blit = BitmapBlit { s, true, YX(r, 20), { static_cast<double>(s.width), static_cast<double>(s.height) },
            kSrcCopy };
        usage = r.u16(6);
        rows = r.u16(8);
        dibAt = 24;
        if (rows == 0) return CodecStatus::success();
        break;
    }
    }
    if (!r.has(dibAt, 4)) return CodecStatus::failure("WMF bitmap record truncated");
    DibProblem problem;
    const auto dib = ParsePackedDib(r.rest(dibAt), usage == 1, problem, rows);
    return DrawDib(m_painter, dib, problem, blit);
}

struct Window {
    PointD origin;
    PointD extent;
    MetafileSize size;
};

// A placeable file's box in its units per inch, turned to pixels at 96 dpi.
std::optional<Window> PlaceableWindow(const RecordView& file)
{
    const PointD topLeft = XY(file, 6);
    const PointD extent { file.i16(10) - topLeft.x, file.i16(12) - topLeft.y };
    const uint16_t unitsPerInch = file.u16(14);
    if (extent.x == 0 || extent.y == 0 || unitsPerInch == 0) return std::nullopt;
    auto pixels = [unitsPerInch](double units) {
        return std::max<int64_t>(std::llround(std::fabs(units) * kScreenDpi / unitsPerInch), 1);
    };
    return Window { topLeft, extent, { pixels(extent.x), pixels(extent.y) } };
}

// Without a placeable header the picture is as large as its first window, one unit a pixel.
CodecStatus WindowFromRecords(Bytes bytes, size_t first, std::optional<Window>& window)
{
    std::optional<PointD> origin;
    std::optional<PointD> extent;
    const CodecStatus scanned = ForEachRecord(bytes, first, [&](uint16_t function, const RecordView& r) {
        if (function == kMetaSetWindowOrg && !origin) origin = YX(r, 6);
        if (function == kMetaSetWindowExt && !extent) extent = YX(r, 6);
        return CodecStatus::success();
    });
    if (!scanned) return scanned;
    if (extent && extent->x != 0 && extent->y != 0)
        window = Window { origin.value_or(PointD {}), *extent,
            { static_cast<int64_t>(std::fabs(extent->x)), static_cast<int64_t>(std::fabs(extent->y)) } };
    return CodecStatus::success();
}

} // namespace

ReadResult ReadWmf(Bytes bytes, const ReadLimits& limits)
{
    if (bytes.size() > limits.maxFileBytes) return ReadResult::failure("file larger than the size limit");
    const RecordView file(bytes);
    const bool placeable = file.u32(0) == kPlaceableKey;
    const size_t start = placeable ? kPlaceableHeaderSize : 0;
    const RecordView header(bytes.subspan(std::min(start, bytes.size())));
    if (header.size() < kWmfHeaderSize || (header.u16(0) != 1 && header.u16(0) != 2)
        || header.u16(2) != kWmfHeaderSize / 2)
        return ReadResult::failure(placeable ? "WMF header truncated or damaged" : "not a WMF file");
    const size_t first = start + kWmfHeaderSize;
    std::optional<Window> window = placeable ? PlaceableWindow(file) : std::nullopt;
    if (!window) {
        const CodecStatus scanned = WindowFromRecords(bytes, first, window);
        if (!scanned) return ReadResult::failure(scanned.error);
        if (!window) return ReadResult::failure("WMF file gives no picture size");
    }
    const MetafileSize drawn = MetafileDrawingSize(window->size.width, window->size.height);
    if (!limits.allows(drawn.width, drawn.height)) return ReadResult::failure("picture larger than the size limit");
    MetafileCanvas canvas(static_cast<int>(drawn.width), static_cast<int>(drawn.height), WorkBudget(limits));
    if (!canvas.ok()) return ReadResult::failure("not enough memory for the picture");
    MetafilePainter painter(canvas, Affine {}, { kScreenDpi / 25.4, kScreenDpi / 25.4 });
    // The window is stretched onto the whole picture, as when a placeable
    // file is drawn into a rectangle: the file's own window records move it.
    DcState& dc = painter.dc();
    dc.mapMode = kMapAnisotropic;
    dc.windowOrg = window->origin;
    dc.windowExt = window->extent;
    dc.viewportExt = { static_cast<double>(drawn.width), static_cast<double>(drawn.height) };

    WmfPlayer player(painter);
    const CodecStatus played = ForEachRecord(bytes, first, [&](uint16_t function, const RecordView& r) {
        if (!canvas.charge(1)) return CodecStatus::failure("WMF file needs too much drawing");
        const CodecStatus status = player.play(function, r);
        return status && canvas.exhausted() ? CodecStatus::failure("WMF file needs too much drawing") : status;
    });
    if (!played) return ReadResult::failure(played.error);
    return Finish(canvas, "WMF");
}

} // namespace kaptivus::files
