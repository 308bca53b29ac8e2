// Colour tables of the indexed picture formats and the nearest-colour search
// that maps any 24-bit colour onto one of them. Standard library only.
//
// Nearest colour: least squared distance in RGB, (dr² + dg² + db²), equal
// weights; on a tie the lowest table index wins. No dithering. The search is
// exact but fast: the RGB cube is cut into 16×16×16 cells, and each cell keeps
// only the table entries that can be nearest to some colour inside it, in
// order of their distance to the cell, so most searches stop after a few.
#pragma once

#include "pixels/PixelBase.h"

#include <array>
#include <cstdint>
#include <vector>

namespace kaptivus::pixels {

// Black first, then white.
const std::vector<Color>& MonochromePalette();
// The standard 16-colour table: the eight dark colours, grey, silver, then
// the eight bright ones (0 black, 1 maroon, ..., 7 grey 0x808080, 8 silver
// 0xC0C0C0, 9 red, ..., 15 white).
const std::vector<Color>& StandardPalette16();
// The 256-colour halftone table: 10 static colours, 236 entries of an
// 8 (red) × 8 (green) × 4 (blue) cube, 10 static colours.
const std::vector<Color>& HalftonePalette256();

// The nearest entry by a plain scan of the whole table: the same rule as
// NearestColorMap, for single pixels and odd tables. 0 for an empty table.
uint8_t NearestIndex(const std::vector<Color>& palette, PixelBGR p);

// Maps colours to the index of the nearest entry of one table (at most 256
// entries). An empty table maps everything to 0.
class NearestColorMap {
public:
    explicit NearestColorMap(std::vector<Color> palette);

    uint8_t indexOf(PixelBGR p) const;
    const std::vector<Color>& palette() const { return m_palette; }

    // The maps of the three standard tables, built once and shared.
    static const NearestColorMap& monochrome();
    static const NearestColorMap& standard16();
    static const NearestColorMap& halftone256();

private:
    static constexpr int kCellBits = 4;
    static constexpr int kCellsPerAxis = 1 << kCellBits;
    static constexpr int kCellShift = 8 - kCellBits;

    void buildCells();

    std::vector<Color> m_palette;
    std::vector<std::array<int, 3>> m_rgb; // r, g, b of each entry
    // Candidates of each cell, as [begin, end) into m_candidates.
    std::array<std::pair<uint32_t, uint32_t>, kCellsPerAxis * kCellsPerAxis * kCellsPerAxis> m_cells {};
    std::vector<uint8_t> m_candidates;
    std::vector<int> m_candidateBounds; // smallest distance of each candidate to its cell
};

} // namespace kaptivus::pixels
