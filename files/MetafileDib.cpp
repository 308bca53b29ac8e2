#include "files/MetafileDib.h"

#include "files/Dib.h"
#include "files/MetafileBytes.h"

#include <vector>

namespace kaptivus::files::metafile {

namespace {

std::optional<DibView> Unsupported(DibProblem& problem, const char* reason)
{
    problem = DibProblem { false, reason };
    return std::nullopt;
}

std::optional<DibView> Malformed(DibProblem& problem, const char* reason)
{
    problem = DibProblem { true, reason };
    return std::nullopt;
}

bool IsKnownDepth(int bpp)
{
    return bpp == 1 || bpp == 2 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
}

struct DibHeader {
    uint32_t headerSize = 0;
    int64_t width = 0;
    int64_t height = 0; // negative: rows stored top-down
    int bpp = 0;
    uint32_t compression = kBiRgb;
    uint32_t coloursUsed = 0;
    size_t tableEntrySize = 4;
    size_t maskBytes = 0; // masks between a 40-byte header and the table

    size_t tableOffset() const { return headerSize + maskBytes; }
    // Entries the table holds in the file (not all of them need be read).
    uint64_t tableEntries() const { return bpp <= 8 && coloursUsed == 0 ? (uint64_t { 1 } << bpp) : coloursUsed; }
};

std::optional<DibHeader> ReadHeader(const RecordView& info, bool paletteIndices, DibProblem& problem)
{
    DibHeader h;
    h.headerSize = info.u32(0);
    if (h.headerSize < 12 || !info.has(0, h.headerSize)) {
        problem = DibProblem { true, "bitmap header truncated" };
        return std::nullopt;
    }
    if (h.headerSize == 12) {
        // The old core header: 16-bit sizes and three-byte table entries.
        h.width = info.u16(4);
        h.height = info.u16(6);
        h.bpp = info.u16(10);
        h.tableEntrySize = 3;
    } else if (h.headerSize >= kDibInfoHeaderBytes) {
        h.width = info.i32(4);
        h.height = info.i32(8);
        h.bpp = info.u16(14);
        h.compression = info.u32(16);
        h.coloursUsed = info.u32(32);
        if ((h.compression == kBiBitfields || h.compression == kBiAlphaBitfields)
            && h.headerSize == kDibInfoHeaderBytes)
            h.maskBytes = h.compression == kBiBitfields ? 12 : 16;
    } else {
        problem = DibProblem { false, "unknown bitmap header" };
        return std::nullopt;
    }
    if (paletteIndices) h.tableEntrySize = 2;
    return h;
}

uint32_t MaskOrDefault(uint32_t mask, uint32_t fallback, bool useMasks)
{
    return useMasks ? mask : fallback;
}

} // namespace

std::optional<DibView> ParseDib(Bytes infoBytes, Bytes bits, bool paletteIndices, DibProblem& problem, int64_t rows)
{
    const RecordView info(infoBytes);
    const std::optional<DibHeader> header = ReadHeader(info, paletteIndices, problem);
    if (!header) return std::nullopt;
    const DibHeader& h = *header;
    if (!IsKnownDepth(h.bpp)) return Unsupported(problem, "unsupported bitmap depth");
    const bool masked = h.compression == kBiBitfields || h.compression == kBiAlphaBitfields;
    if (h.compression != kBiRgb && !(masked && (h.bpp == 16 || h.bpp == 32)))
        return Unsupported(problem, "compressed bitmaps are not drawn");
    if (h.bpp <= 8 && paletteIndices) return Unsupported(problem, "bitmap colours refer to a logical palette");
    const int64_t height = rows > 0 ? rows : (h.height < 0 ? -h.height : h.height);
    if (h.width <= 0 || height <= 0 || h.width > INT32_MAX || height > INT32_MAX)
        return Malformed(problem, "bitmap size out of range");

    DibView v;
    v.m_width = static_cast<int>(h.width);
    v.m_height = static_cast<int>(height);
    v.m_bpp = h.bpp;
    v.m_topDown = h.height < 0;
    v.m_stride = static_cast<size_t>(DibStride(h.width, h.bpp));
    // Divide rather than multiply: stride × height may not fit 64 bits.
    if (v.m_stride == 0 || static_cast<uint64_t>(height) > bits.size() / v.m_stride)
        return Malformed(problem, "bitmap rows truncated");
    v.m_bits = bits.data();

    if (h.bpp <= 8) {
        const uint64_t wanted = std::min<uint64_t>(h.tableEntries(), uint64_t { 1 } << h.bpp);
        const size_t offset = h.tableOffset();
        const uint64_t fit = info.has(offset, 0) ? (info.size() - offset) / h.tableEntrySize : 0;
        // A table cut short leaves its missing entries black.
        v.m_colours = static_cast<int>(std::min(wanted, fit));
        for (int i = 0; i < v.m_colours; ++i) {
            const size_t at = offset + static_cast<size_t>(i) * h.tableEntrySize;
            v.m_palette[static_cast<size_t>(i)] = pixels::PixelBGR { info.u8(at), info.u8(at + 1), info.u8(at + 2) };
        }
    } else if (h.bpp != 24) {
        const size_t maskAt = h.maskBytes ? h.headerSize : kDibInfoHeaderBytes;
        const bool useMasks = masked && info.has(maskAt, 12);
        const bool wide = h.bpp == 32;
        v.m_channels = { pixels::ChannelFromMask(MaskOrDefault(info.u32(maskAt), wide ? 0xFF0000 : 0x7C00, useMasks)),
            pixels::ChannelFromMask(MaskOrDefault(info.u32(maskAt + 4), wide ? 0x00FF00 : 0x03E0, useMasks)),
            pixels::ChannelFromMask(MaskOrDefault(info.u32(maskAt + 8), wide ? 0x0000FF : 0x001F, useMasks)) };
    }
    return v;
}

std::optional<DibView> ParsePackedDib(Bytes dib, bool paletteIndices, DibProblem& problem, int64_t rows)
{
    const RecordView view(dib);
    const std::optional<DibHeader> header = ReadHeader(view, paletteIndices, problem);
    if (!header) return std::nullopt;
    const uint64_t bitsOffset = header->tableOffset() + header->tableEntries() * header->tableEntrySize;
    if (bitsOffset > dib.size()) return Malformed(problem, "bitmap colour table truncated");
    const auto offset = static_cast<size_t>(bitsOffset);
    return ParseDib(dib.first(offset), dib.subspan(offset), paletteIndices, problem, rows);
}

pixels::PixelBGR DibView::pixel(int x, int row) const
{
    const int stored = m_topDown ? row : m_height - 1 - row;
    const uint8_t* line = m_bits + static_cast<size_t>(stored) * m_stride;
    if (m_bpp == 24) {
        const uint8_t* p = line + static_cast<size_t>(x) * 3;
        return pixels::PixelBGR { p[0], p[1], p[2] };
    }
    if (m_bpp <= 8) {
        const unsigned index = pixels::LoadIndex(line, x, m_bpp, pixels::PixelsPerByteLog2(m_bpp));
        return index < static_cast<unsigned>(m_colours) ? m_palette[index] : pixels::PixelBGR {};
    }
    const size_t bytes = static_cast<size_t>(m_bpp) / 8;
    const uint32_t word = LoadLe(line + static_cast<size_t>(x) * bytes, bytes);
    const auto& [r, g, b] = m_channels;
    return pixels::PixelBGR { pixels::ExpandChannel((word >> b.shift) & b.max, b),
        pixels::ExpandChannel((word >> g.shift) & g.max, g), pixels::ExpandChannel((word >> r.shift) & r.max, r) };
}

} // namespace kaptivus::files::metafile
