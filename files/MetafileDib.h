// The device-independent bitmaps inside metafile records, read by files/Dib's
// reader, and the distinction the players need: a bitmap they skip or a
// record that refuses the whole file. No Qt, no X11.
#pragma once

#include "files/Codec.h"

#include <cstdint>
#include <optional>
#include <string>

namespace kaptivus::files::metafile {

// Why a bitmap was not taken: a form the players do not draw (skipped like an
// unknown record) or a record that contradicts itself (the file is refused).
struct DibProblem {
    bool malformed = false;
    std::string reason;
};

// A record's bitmap, decoded; row 0 is the top row whichever way the rows
// were stored, and topDown says which way that was (records count their
// source rows from the stored first row).
class DibView {
public:
    int width() const { return m_picture.width(); }
    int height() const { return m_picture.height(); }
    bool topDown() const { return m_topDown; }
    pixels::PixelBGR pixel(int x, int row) const { return m_picture.pixel(x, row); }

private:
    friend std::optional<DibView> ParseDib(Bytes, Bytes, bool, DibProblem&, int64_t);
    pixels::Picture m_picture;
    bool m_topDown = false;
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
