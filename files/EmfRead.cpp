#include "files/Metafile.h"
#include "files/MetafileFormat.h"
#include "files/MetafilePlayer.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace kaptivus::files {

using namespace metafile;

namespace {

enum EmrType : uint32_t {
    kPolyBezier = 2,
    kPolygon = 3,
    kPolyline = 4,
    kPolyBezierTo = 5,
    kPolylineTo = 6,
    kPolyPolyline = 7,
    kPolyPolygon = 8,
    kSetWindowExtEx = 9,
    kSetWindowOrgEx = 10,
    kSetViewportExtEx = 11,
    kSetViewportOrgEx = 12,
    kSetPixelV = 15,
    kSetMapMode = 17,
    kSetPolyFillMode = 19,
    kMoveToEx = 27,
    kScaleViewportExtEx = 31,
    kScaleWindowExtEx = 32,
    kSaveDc = 33,
    kRestoreDc = 34,
    kSetWorldTransform = 35,
    kModifyWorldTransform = 36,
    kSelectObject = 37,
    kCreatePen = 38,
    kCreateBrushIndirect = 39,
    kDeleteObject = 40,
    kEllipse = 42,
    kRectangle = 43,
    kRoundRect = 44,
    kLineTo = 54,
    kFillRgn = 71,
    kPaintRgn = 74,
    kBitBlt = 76,
    kStretchBlt = 77,
    kSetDiBitsToDevice = 80,
    kStretchDiBitsRecord = 81,
    kPolyBezier16 = 85,
    kPolygon16 = 86,
    kPolyline16 = 87,
    kPolyBezierTo16 = 88,
    kPolylineTo16 = 89,
    kPolyPolyline16 = 90,
    kPolyPolygon16 = 91,
    kCreateMonoBrush = 93,
    kCreateDibPatternBrushPt = 94,
    kExtCreatePen = 95,
};

constexpr uint32_t kStockObjectFlag = 0x80000000;
constexpr uint32_t kPenStyleNull = 5;
constexpr uint32_t kBrushStyleNull = 1;
constexpr uint32_t kBrushStyleHatched = 2;

struct EmfHeader {
    int64_t bounds[4] {};
    int64_t frame[4] {}; // hundredths of a millimetre
    uint32_t handles = 0;
    PointD pixelsPerMm { kScreenDpi / 25.4, kScreenDpi / 25.4 };
};

double PixelsPerMm(int32_t pixels, double millimetres, double fallback)
{
    return pixels > 0 && millimetres > 0 ? pixels / millimetres : fallback;
}

EmfHeader ReadHeader(const RecordView& r)
{
    EmfHeader h;
    for (int i = 0; i < 4; ++i) {
        h.bounds[i] = r.i32(8 + 4 * static_cast<size_t>(i));
        h.frame[i] = r.i32(24 + 4 * static_cast<size_t>(i));
    }
    h.handles = r.u16(56);
    // The reference device's size in micrometres, when the header carries it, is the exact one.
    const bool micrometres = r.size() >= kEmfHeaderSize && r.i32(100) > 0 && r.i32(104) > 0;
    h.pixelsPerMm.x = PixelsPerMm(r.i32(72), micrometres ? r.i32(100) / 1000.0 : r.i32(80), h.pixelsPerMm.x);
    h.pixelsPerMm.y = PixelsPerMm(r.i32(76), micrometres ? r.i32(104) / 1000.0 : r.i32(84), h.pixelsPerMm.y);
    return h;
}

bool HasFrame(const EmfHeader& h)
{
    return h.frame[2] > h.frame[0] && h.frame[3] > h.frame[1];
}

// The picture's size in pixels of the 96-dpi screen: its frame, or failing
// that its bounds.
std::optional<MetafileSize> PictureSize(const EmfHeader& h)
{
    if (HasFrame(h)) {
        auto pixels = [](int64_t hundredths) {
            return std::max<int64_t>(std::llround(static_cast<double>(hundredths) * kScreenDpi / 2540), 1);
        };
        return MetafileSize { pixels(h.frame[2] - h.frame[0]), pixels(h.frame[3] - h.frame[1]) };
    }
    if (h.bounds[2] >= h.bounds[0] && h.bounds[3] >= h.bounds[1])
        return MetafileSize { h.bounds[2] - h.bounds[0] + 1, h.bounds[3] - h.bounds[1] + 1 };
    return std::nullopt;
}

// The frame (or the bounds) in device pixels, stretched onto the whole picture.
Affine DeviceToOutput(const EmfHeader& h, const MetafileSize& drawn)
{
    double left = static_cast<double>(h.bounds[0]);
    double top = static_cast<double>(h.bounds[1]);
    double width = static_cast<double>(h.bounds[2] - h.bounds[0] + 1);
    double height = static_cast<double>(h.bounds[3] - h.bounds[1] + 1);
    if (HasFrame(h)) {
        left = static_cast<double>(h.frame[0]) / 100 * h.pixelsPerMm.x;
        top = static_cast<double>(h.frame[1]) / 100 * h.pixelsPerMm.y;
        width = static_cast<double>(h.frame[2] - h.frame[0]) / 100 * h.pixelsPerMm.x;
        height = static_cast<double>(h.frame[3] - h.frame[1]) / 100 * h.pixelsPerMm.y;
    }
    const double sx = static_cast<double>(drawn.width) / width;
    const double sy = static_cast<double>(drawn.height) / height;
    return Affine { sx, 0, 0, sy, -left * sx, -top * sy };
}

PointD Point32(const RecordView& r, size_t at)
{
    return { static_cast<double>(r.i32(at)), static_cast<double>(r.i32(at + 4)) };
}

class EmfPlayer {
public:
    EmfPlayer(MetafilePainter& painter, uint32_t handles)
        : m_painter(painter)
        , m_objects(handles)
    {
    }

    CodecStatus play(uint32_t type, const RecordView& r);

private:
    void poly(uint32_t type, const RecordView& r);
    void polyPoly(uint32_t type, const RecordView& r);
    void mapping(uint32_t type, const RecordView& r);
    void worldTransform(uint32_t type, const RecordView& r);
    void createObject(uint32_t type, const RecordView& r);
    void selectObject(uint32_t handle);
    void region(uint32_t type, const RecordView& r);
    CodecStatus bitmap(uint32_t type, const RecordView& r);
    GdiObject* slot(uint32_t handle)
    {
        // Index 0 stands for the metafile itself and holds no object.
        return handle > 0 && handle < m_objects.size() ? &m_objects[handle] : nullptr;
    }

    MetafilePainter& m_painter;
    std::vector<GdiObject> m_objects;
};

CodecStatus EmfPlayer::play(uint32_t type, const RecordView& r)
{
    DcState& dc = m_painter.dc();
    switch (type) {
    case kPolyBezier:
    case kPolygon:
    case kPolyline:
    case kPolyBezierTo:
    case kPolylineTo:
    case kPolyBezier16:
    case kPolygon16:
    case kPolyline16:
    case kPolyBezierTo16:
    case kPolylineTo16:
        poly(type, r);
        break;
    case kPolyPolyline:
    case kPolyPolygon:
    case kPolyPolyline16:
    case kPolyPolygon16:
        polyPoly(type, r);
        break;
    case kSetWindowExtEx:
    case kSetWindowOrgEx:
    case kSetViewportExtEx:
    case kSetViewportOrgEx:
    case kSetMapMode:
    case kScaleViewportExtEx:
    case kScaleWindowExtEx:
        mapping(type, r);
        break;
    case kSetWorldTransform:
    case kModifyWorldTransform:
        worldTransform(type, r);
        break;
    case kSetPixelV:
        m_painter.setPixel(Point32(r, 8), r.u32(16));
        break;
    case kSetPolyFillMode:
        dc.winding = r.u32(8) == 2;
        break;
    case kMoveToEx:
        m_painter.moveTo(Point32(r, 8));
        break;
    case kLineTo:
        m_painter.lineTo(Point32(r, 8));
        break;
    case kSaveDc:
        m_painter.saveDc();
        break;
    case kRestoreDc:
        m_painter.restoreDc(r.i32(8));
        break;
    case kSelectObject:
        selectObject(r.u32(8));
        break;
    case kDeleteObject:
        if (GdiObject* o = slot(r.u32(8))) *o = GdiObject {};
        break;
    case kCreatePen:
    case kExtCreatePen:
    case kCreateBrushIndirect:
    case kCreateMonoBrush:
    case kCreateDibPatternBrushPt:
        createObject(type, r);
        break;
    case kRectangle:
    case kRoundRect:
        m_painter.rectangle(Point32(r, 8), Point32(r, 16));
        break;
    case kEllipse:
        m_painter.ellipse(Point32(r, 8), Point32(r, 16));
        break;
    case kFillRgn:
    case kPaintRgn:
        region(type, r);
        break;
    case kBitBlt:
    case kStretchBlt:
    case kSetDiBitsToDevice:
    case kStretchDiBitsRecord:
        return bitmap(type, r);
    default:
        break; // records that draw nothing we keep (text, clipping, palettes, comments)
    }
    return CodecStatus::success();
}

void EmfPlayer::poly(uint32_t type, const RecordView& r)
{
    const bool shortPoints = type >= kPolyBezier16;
    auto points = ReadPoints(r, 28, r.u32(24), shortPoints);
    if (!points || points->empty()) return;
    DcState& dc = m_painter.dc();
    switch (shortPoints ? type - (kPolyBezier16 - kPolyBezier) : type) {
    case kPolygon:
        m_painter.polygons(*points, { points->size() });
        break;
    case kPolyline:
        m_painter.polyline(*points);
        break;
    case kPolyBezier: {
        const PointD start = points->front();
        points->erase(points->begin());
        m_painter.polyline(FlattenBeziers(start, *points));
        break;
    }
    case kPolyBezierTo:
        m_painter.polyline(FlattenBeziers(dc.position, *points));
        dc.position = points->back();
        break;
    case kPolylineTo:
        points->insert(points->begin(), dc.position);
        m_painter.polyline(*points);
        dc.position = points->back();
        break;
    default:
        break;
    }
}

void EmfPlayer::polyPoly(uint32_t type, const RecordView& r)
{
    const uint32_t polygons = r.u32(24);
    const uint32_t total = r.u32(28);
    if (polygons == 0 || polygons > (r.size() - std::min<size_t>(r.size(), 32)) / 4) return;
    std::vector<size_t> counts(polygons);
    uint64_t sum = 0;
    for (uint32_t i = 0; i < polygons; ++i)
        sum += counts[i] = r.u32(32 + 4 * static_cast<size_t>(i));
    if (sum != total) return;
    const auto points = ReadPoints(r, 32 + 4 * static_cast<size_t>(polygons), total, type >= kPolyPolyline16);
    if (!points) return;
    if (type == kPolyPolygon || type == kPolyPolygon16) {
        m_painter.polygons(*points, counts);
        return;
    }
    size_t start = 0;
    for (const size_t count : counts) {
        m_painter.polyline(std::vector<PointD>(
            points->begin() + static_cast<long>(start), points->begin() + static_cast<long>(start + count)));
        start += count;
    }
}

void EmfPlayer::mapping(uint32_t type, const RecordView& r)
{
    DcState& dc = m_painter.dc();
    auto scale = [&r](PointD& extent) {
        if (r.i32(12) != 0) extent.x = extent.x * r.i32(8) / r.i32(12);
        if (r.i32(20) != 0) extent.y = extent.y * r.i32(16) / r.i32(20);
    };
    switch (type) {
    case kSetWindowExtEx:
        dc.windowExt = Point32(r, 8);
        break;
    case kSetWindowOrgEx:
        dc.windowOrg = Point32(r, 8);
        break;
    case kSetViewportExtEx:
        dc.viewportExt = Point32(r, 8);
        break;
    case kSetViewportOrgEx:
        dc.viewportOrg = Point32(r, 8);
        break;
    case kScaleWindowExtEx:
        scale(dc.windowExt);
        break;
    case kScaleViewportExtEx:
        scale(dc.viewportExt);
        break;
    case kSetMapMode:
        if (r.u32(8) >= kMapText && r.u32(8) <= kMapAnisotropic) dc.mapMode = static_cast<int>(r.u32(8));
        break;
    default:
        break;
    }
}

void EmfPlayer::worldTransform(uint32_t type, const RecordView& r)
{
    if (r.size() < 32) return;
    const Affine x { r.f32(8), r.f32(12), r.f32(16), r.f32(20), r.f32(24), r.f32(28) };
    for (const double v : { x.a, x.b, x.c, x.d, x.e, x.f })
        if (!std::isfinite(v)) return;
    Affine& world = m_painter.dc().world;
    const uint32_t mode = type == kSetWorldTransform ? 4 : r.u32(32);
    switch (mode) {
    case 1:
        world = Affine {};
        break;
    case 2:
        world = x.then(world);
        break; // the new transform applies first
    case 3:
        world = world.then(x);
        break;
    case 4:
        world = x;
        break;
    default:
        break;
    }
}

void EmfPlayer::createObject(uint32_t type, const RecordView& r)
{
    GdiObject* target = slot(r.u32(8));
    if (!target) return;
    GdiObject o;
    if (type == kCreatePen || type == kExtCreatePen) {
        const bool extended = type == kExtCreatePen;
        const uint32_t style = r.u32(extended ? 28 : 12);
        o.kind = GdiObject::Kind::Pen;
        o.pen.visible = (style & 0x0F) != kPenStyleNull && !(extended && r.u32(36) == kBrushStyleNull);
        o.pen.colour = r.u32(extended ? 40 : 24) & 0xFFFFFF;
        // Cosmetic extended pens are one pixel wide whatever they say.
        const bool geometric = !extended || (style & 0x00010000) != 0;
        o.pen.width = geometric ? std::max(0, r.i32(extended ? 32 : 16)) : 0;
    } else if (type == kCreateBrushIndirect) {
        const uint32_t style = r.u32(12);
        o.kind = GdiObject::Kind::Brush;
        o.brush = Brush { style != kBrushStyleNull, r.u32(16) & 0xFFFFFF,
            style == kBrushStyleHatched && r.u32(20) <= 5 ? static_cast<int>(r.u32(20)) : -1 };
    } else {
        DibProblem problem;
        o.kind = GdiObject::Kind::Brush;
        o.brush
            = PatternBrush(ParseDib(r.sub(r.u32(16), r.u32(20)), r.sub(r.u32(24), r.u32(28)), r.u32(12) == 1, problem));
    }
    *target = o;
}

void EmfPlayer::selectObject(uint32_t handle)
{
    if (handle & kStockObjectFlag) {
        m_painter.select(StockObject(handle & ~kStockObjectFlag));
    } else if (const GdiObject* o = slot(handle)) {
        m_painter.select(*o);
    }
}

void EmfPlayer::region(uint32_t type, const RecordView& r)
{
    const bool fill = type == kFillRgn;
    const size_t dataAt = fill ? 32 : 28;
    const RecordView data(r.sub(dataAt, r.u32(24)));
    Brush brush = m_painter.dc().brush;
    if (fill) {
        const uint32_t handle = r.u32(28);
        const GdiObject o = handle & kStockObjectFlag ? StockObject(handle & ~kStockObjectFlag)
                                                      : (slot(handle) ? *slot(handle) : GdiObject {});
        if (o.kind != GdiObject::Kind::Brush) return;
        brush = o.brush;
    }
    // The region: a 32-byte header, then its rectangles.
    const uint32_t count = data.u32(8);
    if (data.size() < 32 || count > (data.size() - 32) / 16) return;
    for (uint32_t i = 0; i < count; ++i) {
        const size_t at = 32 + 16 * static_cast<size_t>(i);
        m_painter.fillRectangle(Point32(data, at), Point32(data, at + 8), brush);
    }
}

CodecStatus EmfPlayer::bitmap(uint32_t type, const RecordView& r)
{
    // Where each record keeps its fields: destination, source, raster
    // operation and the bitmap's header and rows.
    BitmapBlit blit;
    size_t bmiAt = 0;
    uint32_t usage = 0;
    int64_t rows = 0;
    if (type == kStretchDiBitsRecord || type == kSetDiBitsToDevice) {
        blit.source = SourceRect { r.i32(32), r.i32(36), r.i32(40), r.i32(44) };
        blit.origin = Point32(r, 24);
        blit.sourceFromBottom = true;
        bmiAt = 48;
        if (type == kStretchDiBitsRecord) {
            usage = r.u32(64);
            blit.rop = r.u32(68);
            blit.extent = Point32(r, 72);
        } else {
            // The record holds only the scan lines it sets; its source counts from the first of them.
            usage = r.u32(64);
            blit.rop = kSrcCopy;
            blit.extent = { static_cast<double>(blit.source.width), static_cast<double>(blit.source.height) };
            rows = r.u32(72);
            blit.source.y
                = static_cast<int>(std::clamp<int64_t>(int64_t { blit.source.y } - r.u32(68), INT32_MIN, INT32_MAX));
            if (rows == 0) return CodecStatus::success();
        }
    } else {
        blit.origin = Point32(r, 24);
        blit.extent = Point32(r, 32);
        blit.rop = r.u32(40);
        const bool stretch = type == kStretchBlt;
        blit.source
            = SourceRect { r.i32(44), r.i32(48), stretch ? r.i32(100) : r.i32(32), stretch ? r.i32(104) : r.i32(36) };
        usage = r.u32(80);
        bmiAt = 84;
        if (r.u32(88) == 0) {
            // No source bitmap: the brush alone, like a pattern fill.
            m_painter.patternBlt(blit.origin, blit.extent, blit.rop);
            return CodecStatus::success();
        }
    }
    if (r.u32(bmiAt + 4) == 0 || r.u32(bmiAt + 12) == 0) {
        // No bitmap: a stretch of nothing paints with the brush, setting no bits sets nothing.
        if (type == kStretchDiBitsRecord) m_painter.patternBlt(blit.origin, blit.extent, blit.rop);
        return CodecStatus::success();
    }
    const Bytes info = r.sub(r.u32(bmiAt), r.u32(bmiAt + 4));
    const Bytes bits = r.sub(r.u32(bmiAt + 8), r.u32(bmiAt + 12));
    if (info.empty() || bits.empty()) return CodecStatus::failure("EMF bitmap lies outside its record");
    DibProblem problem;
    const auto dib = ParseDib(info, bits, usage == 1, problem, rows);
    return DrawDib(m_painter, dib, problem, blit);
}

} // namespace

ReadResult ReadEmf(Bytes bytes, const ReadLimits& limits)
{
    if (bytes.size() > limits.maxFileBytes) return ReadResult::failure("file larger than the size limit");
    const RecordView file(bytes);
    if (bytes.size() < kEmfBaseHeaderSize || file.u32(0) != kEmrHeader || file.u32(40) != kEmfSignature)
        return ReadResult::failure("not an EMF file");
    const uint32_t headerSize = file.u32(4);
    if (headerSize < kEmfBaseHeaderSize || headerSize > bytes.size())
        return ReadResult::failure("EMF header truncated");
    const EmfHeader header = ReadHeader(RecordView(bytes.first(headerSize)));
    const std::optional<MetafileSize> size = PictureSize(header);
    if (!size) return ReadResult::failure("EMF file gives no picture size");
    const MetafileSize drawn = MetafileDrawingSize(size->width, size->height);
    if (!limits.allows(drawn.width, drawn.height)) return ReadResult::failure("picture larger than the size limit");
    MetafileCanvas canvas(static_cast<int>(drawn.width), static_cast<int>(drawn.height), WorkBudget(limits));
    if (!canvas.ok()) return ReadResult::failure("not enough memory for the picture");
    MetafilePainter painter(canvas, DeviceToOutput(header, drawn), header.pixelsPerMm);
    EmfPlayer player(painter, header.handles);

    for (size_t at = 0; at < bytes.size() && !canvas.exhausted();) {
        const RecordView head(bytes.subspan(at, std::min<size_t>(8, bytes.size() - at)));
        const uint32_t type = head.u32(0);
        const uint32_t recordSize = head.u32(4);
        if (head.size() < 8) return ReadResult::failure("EMF record truncated");
        // A record shorter than its own type and size would never move the player on.
        if (recordSize < 8) return ReadResult::failure("EMF record of impossible size " + std::to_string(recordSize));
        if (recordSize > bytes.size() - at) return ReadResult::failure("EMF record runs past the end of the file");
        if (type == kEmrEof || !canvas.charge(1)) break;
        const CodecStatus played = player.play(type, RecordView(bytes.subspan(at, recordSize)));
        if (!played) return ReadResult::failure(played.error);
        at += recordSize;
    }
    return Finish(canvas, "EMF");
}

} // namespace kaptivus::files
