// The device-independent bitmaps inside metafile records: a view that reads
// 1, 2, 4, 8, 16, 24 and 32-bit rows in place (no copy, so a record can claim
// nothing it does not hold). Writing them is files/Dib.h's. No Qt, no X11.
#pragma once

#include "files/Codec.h"
#include "pixels/PictureRows.h"

#include <array>
#include <cstdint>
#include <optional>

namespace kaptivus::files::metafile {

// Why a bitmap was not taken: a form the players do not draw (skipped like an
// unknown record) or a record that contradicts itself (the file is refused).
struct DibProblem {
    bool malformed = false;
    std::string reason;
};

class DibView {
public:
    int width() const { return m_width; }
    int height() const { return m_height; }
    bool topDown() const { return m_topDown; }
    // Row 0 is the top row, whichever way the rows are stored.
    pixels::PixelBGR pixel(int x, int row) const;

private:
    friend std::optional<DibView> ParseDib(Bytes, Bytes, bool, DibProblem&, int64_t);
    int m_width = 0;
    int m_height = 0;
    int m_bpp = 0;
    bool m_topDown = false;
    const uint8_t* m_bits = nullptr;
    size_t m_stride = 0;
    int m_colours = 0;
    std::array<pixels::PixelBGR, 256> m_palette {};
    std::array<pixels::ChannelLayout, 3> m_channels {}; // red, green, blue
};

// info: the header and its colour table (and bit-field masks); bits: the rows.
// paletteIndices: the table holds 16-bit indices into a logical palette, which
// a metafile player without palettes cannot resolve for indexed pictures.
// rows: when positive, the number of rows bits holds (a band of a taller
// bitmap) in place of the header's height.
std::optional<DibView> ParseDib(Bytes info, Bytes bits, bool paletteIndices, DibProblem& problem, int64_t rows = 0);
// A packed bitmap: header, table and rows one after the other.
std::optional<DibView> ParsePackedDib(Bytes dib, bool paletteIndices, DibProblem& problem, int64_t rows = 0);

} // namespace kaptivus::files::metafile
