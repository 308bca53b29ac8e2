// What the EMF and WMF readers share besides the painter: the work budget,
// point lists and bitmap records read from untrusted bytes. No Qt, no X11.
#pragma once

#include "files/MetafileBytes.h"
#include "files/MetafilePainter.h"

#include <optional>
#include <vector>

namespace kaptivus::files::metafile {

// No drawing program writes a single polygon this long; the bound keeps what
// one record can make the reader allocate far below the file's own size limit.
inline constexpr uint64_t kMaxPointsPerRecord = uint64_t { 1 } << 22;

// Units of work (pixels touched, edges crossed, records read) one file may take.
int64_t WorkBudget(const ReadLimits& limits);

// count points from offset at, 16-bit (x, y) pairs or 32-bit ones; nothing
// when the record does not hold them all.
std::optional<std::vector<PointD>> ReadPoints(const RecordView& record, size_t at, uint64_t count, bool shortPoints);

struct BitmapBlit {
    SourceRect source;
    bool sourceFromBottom = false; // the source rectangle counts rows from the bottom
    PointD origin;
    PointD extent;
    uint32_t rop = 0;
};

// Draws a bitmap record's picture. A bitmap in a form not drawn is skipped;
// one that contradicts its record refuses the file.
CodecStatus DrawDib(
    MetafilePainter& painter, const std::optional<DibView>& dib, const DibProblem& problem, BitmapBlit blit);

// A pattern brush is drawn in the colour of its first pixel; grey when its
// bitmap is not one the players draw.
Brush PatternBrush(const std::optional<DibView>& dib);

// The drawn picture, or the refusal when the work budget ran out.
ReadResult Finish(MetafileCanvas& canvas, const char* format);

} // namespace kaptivus::files::metafile
