#include "files/Metafile.h"

#include "files/MetafilePlayer.h"

#include <algorithm>

namespace kaptivus::files {

namespace {

constexpr int64_t kMaxDrawnPixels = 2'000'000;

int64_t ShrinkSide(int64_t side, int64_t steps)
{
    if (side <= 10) return side;
    return std::max<int64_t>(side - 10 * steps, 10);
}

bool TooLarge(int64_t width, int64_t height, int64_t steps)
{
    const int64_t w = ShrinkSide(width, steps);
    const int64_t h = ShrinkSide(height, steps);
    // w × h may not fit 64 bits for absurd headers: compare by division.
    return w > kMaxDrawnPixels / h;
}

} // namespace

MetafileSize MetafileDrawingSize(int64_t width, int64_t height)
{
    width = std::max<int64_t>(width, 1);
    height = std::max<int64_t>(height, 1);
    // The area only falls as the steps grow, so the first step count that
    // brings it to the limit is found by bisection rather than one step at a time.
    int64_t low = 0;
    int64_t high = std::max(width, height) / 10 + 1;
    if (!TooLarge(width, height, low)) return { width, height };
    while (high - low > 1) {
        const int64_t mid = low + (high - low) / 2;
        (TooLarge(width, height, mid) ? low : high) = mid;
    }
    return { ShrinkSide(width, high), ShrinkSide(height, high) };
}

namespace metafile {

int64_t WorkBudget(const ReadLimits& limits)
{
    return std::clamp<int64_t>(limits.maxPixels * 8, int64_t { 1 } << 20, int64_t { 1 } << 30);
}

std::optional<std::vector<PointD>> ReadPoints(const RecordView& record, size_t at, uint64_t count, bool shortPoints)
{
    const size_t each = shortPoints ? 4 : 8;
    if (count > kMaxPointsPerRecord || !record.has(at, 0) || count > (record.size() - at) / each) return std::nullopt;
    std::vector<PointD> points(static_cast<size_t>(count));
    for (size_t i = 0; i < points.size(); ++i) {
        const size_t p = at + i * each;
        points[i] = shortPoints ? PointD { static_cast<double>(record.i16(p)), static_cast<double>(record.i16(p + 2)) }
                                : PointD { static_cast<double>(record.i32(p)), static_cast<double>(record.i32(p + 4)) };
    }
    return points;
}

CodecStatus DrawDib(
    MetafilePainter& painter, const std::optional<DibView>& dib, const DibProblem& problem, BitmapBlit blit)
{
    if (!dib) return problem.malformed ? CodecStatus::failure(problem.reason) : CodecStatus::success();
    // Device-independent bitmaps count their source rows from the bottom
    // when the rows are stored bottom-up.
    if (blit.sourceFromBottom && !dib->topDown())
        blit.source.y = static_cast<int>(
            std::clamp<int64_t>(int64_t { dib->height() } - blit.source.y - blit.source.height, INT32_MIN, INT32_MAX));
    painter.bitmap(*dib, blit.source, blit.origin, blit.extent, blit.rop);
    return CodecStatus::success();
}

Brush PatternBrush(const std::optional<DibView>& dib)
{
    const pixels::PixelBGR first = dib ? dib->pixel(0, 0) : pixels::PixelBGR { 128, 128, 128 };
    return Brush { true, static_cast<pixels::Color>(first.r | (first.g << 8) | (first.b << 16)), -1 };
}

ReadResult Finish(MetafileCanvas& canvas, const char* format)
{
    if (canvas.exhausted()) return ReadResult::failure(std::string(format) + " file needs too much drawing");
    ReadResult result;
    result.picture = canvas.take();
    return result;
}

} // namespace metafile

} // namespace kaptivus::files
