// Colour tables of the indexed formats and the exact nearest-colour search.
#include "pixels/Palettes.h"

#include <algorithm>
#include <limits>

namespace kaptivus::pixels {

namespace {

constexpr Color Rgb(uint32_t r, uint32_t g, uint32_t b)
{
    return r | (g << 8) | (b << 16);
}

std::vector<Color> MakeHalftone()
{
    std::vector<Color> table(256);
    const Color low[10] = { Rgb(0, 0, 0), Rgb(0x80, 0, 0), Rgb(0, 0x80, 0), Rgb(0x80, 0x80, 0), Rgb(0, 0, 0x80),
        Rgb(0x80, 0, 0x80), Rgb(0, 0x80, 0x80), Rgb(0xC0, 0xC0, 0xC0), Rgb(0xC0, 0xDC, 0xC0), Rgb(0xA6, 0xCA, 0xF0) };
    const Color high[10]
        = { Rgb(0xFF, 0xFB, 0xF0), Rgb(0xA0, 0xA0, 0xA4), Rgb(0x80, 0x80, 0x80), Rgb(0xFF, 0, 0), Rgb(0, 0xFF, 0),
              Rgb(0xFF, 0xFF, 0), Rgb(0, 0, 0xFF), Rgb(0xFF, 0, 0xFF), Rgb(0, 0xFF, 0xFF), Rgb(0xFF, 0xFF, 0xFF) };
    // The middle of the table is the cube enumerated with red fastest, blue
    // slowest; its first and last ten places are taken by the static colours.
    for (uint32_t i = 0; i < 256; ++i)
        table[i] = Rgb((i & 7) * 0x20, ((i >> 3) & 7) * 0x20, (i >> 6) * 0x40);
    std::copy(std::begin(low), std::end(low), table.begin());
    std::copy(std::begin(high), std::end(high), table.begin() + 246);
    return table;
}

int Square(int v)
{
    return v * v;
}

// Smallest and largest squared distance from a value to the range [lo, hi].
int MinAxis(int v, int lo, int hi)
{
    return v < lo ? Square(lo - v) : (v > hi ? Square(v - hi) : 0);
}
int MaxAxis(int v, int lo, int hi)
{
    return std::max(Square(v - lo), Square(v - hi));
}

} // namespace

const std::vector<Color>& MonochromePalette()
{
    static const std::vector<Color> table { Rgb(0, 0, 0), Rgb(0xFF, 0xFF, 0xFF) };
    return table;
}

const std::vector<Color>& StandardPalette16()
{
    static const std::vector<Color> table { Rgb(0, 0, 0), Rgb(0x80, 0, 0), Rgb(0, 0x80, 0), Rgb(0x80, 0x80, 0),
        Rgb(0, 0, 0x80), Rgb(0x80, 0, 0x80), Rgb(0, 0x80, 0x80), Rgb(0x80, 0x80, 0x80), Rgb(0xC0, 0xC0, 0xC0),
        Rgb(0xFF, 0, 0), Rgb(0, 0xFF, 0), Rgb(0xFF, 0xFF, 0), Rgb(0, 0, 0xFF), Rgb(0xFF, 0, 0xFF), Rgb(0, 0xFF, 0xFF),
        Rgb(0xFF, 0xFF, 0xFF) };
    return table;
}

const std::vector<Color>& HalftonePalette256()
{
    static const std::vector<Color> table = MakeHalftone();
    return table;
}

uint8_t NearestIndex(const std::vector<Color>& palette, PixelBGR p)
{
    uint8_t bestIndex = 0;
    int bestDistance = std::numeric_limits<int>::max();
    const size_t count = std::min<size_t>(palette.size(), 256);
    for (size_t i = 0; i < count; ++i) {
        const Color c = palette[i];
        const int d = Square(static_cast<int>(c & 0xFF) - p.r) + Square(static_cast<int>((c >> 8) & 0xFF) - p.g)
            + Square(static_cast<int>((c >> 16) & 0xFF) - p.b);
        if (d < bestDistance) {
            bestDistance = d;
            bestIndex = static_cast<uint8_t>(i);
        }
    }
    return bestIndex;
}

NearestColorMap::NearestColorMap(std::vector<Color> palette)
    : m_palette(std::move(palette))
{
    if (m_palette.size() > 256) m_palette.resize(256);
    for (Color c : m_palette)
        m_rgb.push_back(
            { static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF), static_cast<int>((c >> 16) & 0xFF) });
    buildCells();
}

// An entry can be nearest to some colour of a cell only when its smallest
// distance to the cell does not exceed the largest distance of the entry that
// is best in the worst case. All entries tied for nearest pass that test;
// ties are settled by index explicitly, since candidates are kept in order of
// their smallest distance to the cell.
void NearestColorMap::buildCells()
{
    const int cellSize = 1 << kCellShift;
    for (int cell = 0; cell < static_cast<int>(m_cells.size()); ++cell) {
        const int axisMask = kCellsPerAxis - 1;
        const int lo[3] = { (cell & axisMask) * cellSize, ((cell >> kCellBits) & axisMask) * cellSize,
            (cell >> (2 * kCellBits)) * cellSize };
        int bound = std::numeric_limits<int>::max();
        for (const auto& e : m_rgb) {
            int worst = 0;
            for (int a = 0; a < 3; ++a)
                worst += MaxAxis(e[a], lo[a], lo[a] + cellSize - 1);
            bound = std::min(bound, worst);
        }
        std::vector<std::pair<int, uint8_t>> found; // (smallest distance, index)
        for (size_t i = 0; i < m_rgb.size(); ++i) {
            int best = 0;
            for (int a = 0; a < 3; ++a)
                best += MinAxis(m_rgb[i][a], lo[a], lo[a] + cellSize - 1);
            if (best <= bound) found.emplace_back(best, static_cast<uint8_t>(i));
        }
        std::sort(found.begin(), found.end());
        const auto begin = static_cast<uint32_t>(m_candidates.size());
        for (const auto& [best, index] : found) {
            m_candidates.push_back(index);
            m_candidateBounds.push_back(best);
        }
        m_cells[static_cast<size_t>(cell)] = { begin, static_cast<uint32_t>(m_candidates.size()) };
    }
}

uint8_t NearestColorMap::indexOf(PixelBGR p) const
{
    const int cell
        = (p.r >> kCellShift) | ((p.g >> kCellShift) << kCellBits) | ((p.b >> kCellShift) << (2 * kCellBits));
    const auto [begin, end] = m_cells[static_cast<size_t>(cell)];
    uint8_t bestIndex = 0;
    int bestDistance = std::numeric_limits<int>::max();
    for (uint32_t k = begin; k < end; ++k) {
        // Candidates come nearest-to-the-cell first: once even the cell's
        // nearest point is farther than the best so far, none can win or tie.
        if (m_candidateBounds[k] > bestDistance) break;
        const uint8_t index = m_candidates[k];
        const auto& e = m_rgb[index];
        const int d = Square(e[0] - p.r) + Square(e[1] - p.g) + Square(e[2] - p.b);
        if (d < bestDistance || (d == bestDistance && index < bestIndex)) {
            bestDistance = d;
            bestIndex = index;
        }
    }
    return bestIndex;
}

const NearestColorMap& NearestColorMap::monochrome()
{
    static const NearestColorMap map(MonochromePalette());
    return map;
}

const NearestColorMap& NearestColorMap::standard16()
{
    static const NearestColorMap map(StandardPalette16());
    return map;
}

const NearestColorMap& NearestColorMap::halftone256()
{
    static const NearestColorMap map(HalftonePalette256());
    return map;
}

} // namespace kaptivus::pixels
