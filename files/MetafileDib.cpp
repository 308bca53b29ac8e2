// Metafile bitmaps through the one DIB reader: its header parse and its row
// decoder, with the players' own rules on top (what they skip, what refuses
// the file, bands of a taller bitmap, colours that index a logical palette).
#include "files/MetafileDib.h"

#include "files/Dib.h"

#include <cstdint>
#include <utility>

namespace kaptivus::files::metafile {

namespace {

std::optional<DibView> Unsupported(DibProblem& problem, std::string reason)
{
    problem = DibProblem { false, std::move(reason) };
    return std::nullopt;
}

std::optional<DibView> Malformed(DibProblem& problem, std::string reason)
{
    problem = DibProblem { true, std::move(reason) };
    return std::nullopt;
}

// The header and table, with the reader's reasons sorted into the players'
// two kinds: a header that does not fit its record refuses the file; any
// other refusal (an unknown header, depth, compression or mask) skips the
// bitmap as the players skip what they do not draw. False with the problem set.
bool ParseHeader(Bytes info, bool paletteIndices, DibProblem& problem, DibHeader& h)
{
    const bool headerFits = info.size() >= 4 && LoadLe(info.data(), 4) >= 12 && LoadLe(info.data(), 4) <= info.size();
    if (!headerFits)
        problem = DibProblem { true, "bitmap header truncated" };
    else if (CodecStatus status = ParseDibHeader(info, h, ReadLimits {}); !status)
        problem = DibProblem { false, status.error };
    else if (h.compression == kBiRle8 || h.compression == kBiRle4)
        problem = DibProblem { false, "compressed bitmaps are not drawn" };
    else if (h.bitCount <= 8 && paletteIndices)
        problem = DibProblem { false, "bitmap colours refer to a logical palette" };
    else
        return true;
    return false;
}

} // namespace

std::optional<DibView> ParseDib(Bytes info, Bytes bits, bool paletteIndices, DibProblem& problem, int64_t rows)
{
    DibHeader h;
    if (!ParseHeader(info, paletteIndices, problem, h)) return std::nullopt;
    if (rows > 0) {
        if (rows > INT32_MAX) return Malformed(problem, "bitmap size out of range");
        h.height = static_cast<int>(rows);
    }
    // Every row whole, padding included, or the record is refused: it cannot
    // claim rows it does not hold. Divide rather than multiply: stride × height
    // may not fit 64 bits.
    const auto stride = static_cast<uint64_t>(DibStride(h.width, h.bitCount));
    if (stride == 0 || static_cast<uint64_t>(h.height) > bits.size() / stride)
        return Malformed(problem, "bitmap rows truncated");
    ReadResult decoded = DecodeDibBits(h, bits.first(static_cast<size_t>(stride) * static_cast<size_t>(h.height)), {});
    if (!decoded.ok()) return Unsupported(problem, decoded.error);
    DibView view;
    view.m_picture = std::move(decoded.picture);
    view.m_topDown = h.topDown;
    return view;
}

std::optional<DibView> ParsePackedDib(Bytes dib, bool paletteIndices, DibProblem& problem, int64_t rows)
{
    DibHeader h;
    if (!ParseHeader(dib, paletteIndices, problem, h)) return std::nullopt;
    // Indices into a logical palette take two bytes an entry.
    const uint64_t entryBytes = paletteIndices ? 2 : h.entryBytes;
    if (h.tableEntries > (dib.size() - h.tableStart) / entryBytes)
        return Malformed(problem, "bitmap colour table truncated");
    const auto offset = static_cast<size_t>(h.tableStart + h.tableEntries * entryBytes);
    return ParseDib(dib.first(offset), dib.subspan(offset), paletteIndices, problem, rows);
}

} // namespace kaptivus::files::metafile
