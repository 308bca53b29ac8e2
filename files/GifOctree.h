// The colour reduction of the GIF writer: an octree of at most 236 leaves framed
// by the 20 static system colours, and the 15-bit inverse table that maps each
// pixel onto that palette. Standard library only; reads pictures, writes nothing.
#pragma once

#include "pixels/Picture.h"

#include <array>
#include <cstdint>
#include <vector>

namespace kaptivus::files {

inline constexpr int kGifOctreeLeaves = 236;
inline constexpr int kGifStaticColours = 10; // at each end of the palette

// Counts colours into a tree of eight levels below the root; whenever the
// leaves outnumber the limit, the deepest most recently created reducible
// node is folded into a leaf.
class GifOctree {
public:
    explicit GifOctree(int maxLeaves = kGifOctreeLeaves);

    void add(pixels::PixelBGR p);
    // The same as adding each pixel in turn; a run of one colour is counted at once.
    void addRow(const pixels::PixelBGR* row, int count);
    int leafCount() const { return m_leafCount; }
    // The mean colour of each leaf, depth first with children in index order;
    // a leaf without pixels gives black.
    std::vector<pixels::Color> colours() const;

private:
    struct Node {
        // 64 bits: one colour over a large picture overflows 32-bit sums.
        uint64_t count = 0;
        uint64_t red = 0;
        uint64_t green = 0;
        uint64_t blue = 0;
        int32_t next = -1; // the next reducible node of the same level
        std::array<int32_t, 8> children { -1, -1, -1, -1, -1, -1, -1, -1 };
        bool leaf = false;
    };

    int32_t newNode(int level);
    void reduce();
    void collect(int32_t node, std::vector<pixels::Color>& out) const;

    std::vector<Node> m_nodes;
    std::vector<int32_t> m_free;
    std::array<int32_t, 8> m_reducible { -1, -1, -1, -1, -1, -1, -1, -1 };
    int m_leafCount = 0;
    int m_maxLeaves;
    // Runs of one colour skip the descent; valid until the tree is reduced.
    pixels::PixelBGR m_lastColour {};
    int32_t m_lastLeaf = -1;
    // Where the descent of each 15-bit cell may start: its leaf if that lies
    // at level 5 or above, else its node of level 5. Nodes only vanish when
    // the tree is reduced, which starts a new generation of the cache.
    struct Shortcut {
        uint32_t generation = 0;
        int32_t node = -1;
    };
    std::vector<Shortcut> m_shortcuts;
    uint32_t m_generation = 1;
};

// Entries 0-9 and 246-255: the static colours; 10 up: the octree's colours;
// the places the octree leaves empty are black.
std::vector<pixels::Color> GifReductionPalette(const std::vector<pixels::Color>& octreeColours);

// Maps colours to palette indices through 32,768 cells of 5 bits a channel.
// Each cell is pre-filled with the first entry whose colour lies in it; an
// empty cell takes the nearest entry (least |dr| + |dg| + |db|, first on a tie)
// for the first pixel that meets it, and keeps it for the pixels that follow.
// A pixel that equals a palette colour exactly gets the first such entry,
// whatever its cell holds.
class GifColourLookup {
public:
    explicit GifColourLookup(std::vector<pixels::Color> palette);

    uint8_t indexOf(pixels::PixelBGR p)
    {
        const size_t cell = static_cast<size_t>(cellOf(p));
        int16_t entry = m_exactHead[cell];
        if (entry >= 0) {
            // A cell holding palette colours: an exact match takes its own
            // entry rather than whichever colour filled the cell first.
            const pixels::Color colour = p.r | p.g << 8 | p.b << 16;
            for (; entry >= 0; entry = m_exactNext[static_cast<size_t>(entry)])
                if (m_palette[static_cast<size_t>(entry)] == colour) return static_cast<uint8_t>(entry);
        }
        int16_t& slot = m_cells[cell];
        if (slot < 0) slot = nearest(p);
        return static_cast<uint8_t>(slot);
    }

private:
    static int cellOf(pixels::PixelBGR p) { return (p.b >> 3) << 10 | (p.g >> 3) << 5 | (p.r >> 3); }
    uint8_t nearest(pixels::PixelBGR p) const;

    std::vector<pixels::Color> m_palette;
    std::vector<int16_t> m_cells;
    // Palette entries lying in each cell, in index order, as linked lists.
    std::vector<int16_t> m_exactHead;
    std::vector<int16_t> m_exactNext;
};

// Reduces a picture: its 256-entry palette and one index a pixel, rows from
// the top. Pixels are taken as they read at 24 bits, so the picture need not
// be converted first. An empty picture gives an empty result.
struct GifReduction {
    std::vector<pixels::Color> palette;
    std::vector<uint8_t> indices;
};
GifReduction ReduceForGif(const pixels::Picture& picture);

} // namespace kaptivus::files
