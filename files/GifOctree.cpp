// The GIF writer's octree quantiser and its 15-bit inverse colour table.
#include "files/GifOctree.h"

#include "pixels/Palettes.h"
#include "pixels/PictureRows.h"

#include <algorithm>
#include <cstdlib>

namespace kaptivus::files {

using pixels::Color;
using pixels::PixelBGR;

namespace {

constexpr int kDepth = 8;
constexpr int kShortcutLevel = 5;

} // namespace

GifOctree::GifOctree(int maxLeaves)
    : m_maxLeaves(std::max(1, maxLeaves))
    , m_shortcuts(32768)
{
    m_nodes.reserve(4096);
    newNode(0);
}

int32_t GifOctree::newNode(int level)
{
    int32_t id;
    if (!m_free.empty()) {
        id = m_free.back();
        m_free.pop_back();
        m_nodes[static_cast<size_t>(id)] = Node {};
    } else {
        id = static_cast<int32_t>(m_nodes.size());
        m_nodes.emplace_back();
    }
    Node& node = m_nodes[static_cast<size_t>(id)];
    if (level == kDepth) {
        node.leaf = true;
        ++m_leafCount;
    } else {
        node.next = m_reducible[static_cast<size_t>(level)];
        m_reducible[static_cast<size_t>(level)] = id;
    }
    return id;
}

void GifOctree::add(PixelBGR p)
{
    int32_t id = 0;
    if (m_lastLeaf >= 0 && p == m_lastColour) {
        id = m_lastLeaf;
    } else {
        Shortcut& shortcut = m_shortcuts[static_cast<size_t>((p.r >> 3) << 10 | (p.g >> 3) << 5 | (p.b >> 3))];
        int level = 0;
        if (shortcut.generation == m_generation) {
            id = shortcut.node;
            level = kShortcutLevel;
        }
        for (; !m_nodes[static_cast<size_t>(id)].leaf; ++level) {
            if (level == kShortcutLevel) shortcut = { m_generation, id };
            const int shift = 7 - level;
            const int child = ((p.r >> shift) & 1) << 2 | ((p.g >> shift) & 1) << 1 | ((p.b >> shift) & 1);
            int32_t next = m_nodes[static_cast<size_t>(id)].children[static_cast<size_t>(child)];
            if (next < 0) {
                next = newNode(level + 1); // may move m_nodes: index again below
                m_nodes[static_cast<size_t>(id)].children[static_cast<size_t>(child)] = next;
            }
            id = next;
        }
        if (level <= kShortcutLevel) shortcut = { m_generation, id };
        m_lastColour = p;
        m_lastLeaf = id;
    }
    Node& leaf = m_nodes[static_cast<size_t>(id)];
    ++leaf.count;
    leaf.red += p.r;
    leaf.green += p.g;
    leaf.blue += p.b;
    while (m_leafCount > m_maxLeaves) {
        const int before = m_leafCount;
        reduce();
        m_lastLeaf = -1;
        ++m_generation;
        if (m_leafCount >= before && m_reducible[0] < 0) break; // nothing left to fold
    }
}

void GifOctree::addRow(const PixelBGR* row, int count)
{
    for (int x = 0; x < count;) {
        const PixelBGR p = row[x];
        int run = 1;
        while (x + run < count && row[x + run] == p)
            ++run;
        x += run;
        // Once a pixel of the colour has been added without folding the tree,
        // the rest of the run lands in the same leaf and creates no node, so
        // no fold can come between them: they are summed in one step.
        for (; run > 0 && (m_lastLeaf < 0 || !(m_lastColour == p)); --run)
            add(p);
        if (run == 0) continue;
        Node& leaf = m_nodes[static_cast<size_t>(m_lastLeaf)];
        const auto n = static_cast<uint64_t>(run);
        leaf.count += n;
        leaf.red += n * p.r;
        leaf.green += n * p.g;
        leaf.blue += n * p.b;
    }
}

void GifOctree::reduce()
{
    int level = kDepth - 1;
    while (level > 0 && m_reducible[static_cast<size_t>(level)] < 0)
        --level;
    const int32_t id = m_reducible[static_cast<size_t>(level)];
    if (id < 0) return;
    Node& node = m_nodes[static_cast<size_t>(id)];
    m_reducible[static_cast<size_t>(level)] = node.next;
    node.next = -1;
    int removed = 0;
    for (int32_t& child : node.children) {
        if (child < 0) continue;
        const Node& c = m_nodes[static_cast<size_t>(child)];
        node.count += c.count;
        node.red += c.red;
        node.green += c.green;
        node.blue += c.blue;
        m_free.push_back(child);
        child = -1;
        ++removed;
    }
    node.leaf = true;
    m_leafCount += 1 - removed;
}

void GifOctree::collect(int32_t id, std::vector<Color>& out) const
{
    const Node& node = m_nodes[static_cast<size_t>(id)];
    if (node.leaf) {
        if (node.count == 0) {
            out.push_back(0);
        } else {
            const auto mean = [&](uint64_t sum) { return static_cast<Color>(sum / node.count); };
            out.push_back(mean(node.red) | mean(node.green) << 8 | mean(node.blue) << 16);
        }
        return;
    }
    for (const int32_t child : node.children)
        if (child >= 0) collect(child, out);
}

std::vector<Color> GifOctree::colours() const
{
    std::vector<Color> out;
    out.reserve(static_cast<size_t>(m_leafCount));
    collect(0, out);
    return out;
}

std::vector<Color> GifReductionPalette(const std::vector<Color>& octreeColours)
{
    const std::vector<Color>& system = pixels::HalftonePalette256();
    std::vector<Color> palette(256, 0);
    std::copy_n(system.begin(), kGifStaticColours, palette.begin());
    std::copy_n(system.end() - kGifStaticColours, kGifStaticColours, palette.end() - kGifStaticColours);
    const size_t room = 256 - 2 * kGifStaticColours;
    std::copy_n(octreeColours.begin(), std::min(room, octreeColours.size()), palette.begin() + kGifStaticColours);
    return palette;
}

GifColourLookup::GifColourLookup(std::vector<Color> palette)
    : m_palette(std::move(palette))
    , m_cells(32768, -1)
    , m_exactHead(32768, -1)
{
    if (m_palette.size() > 256) m_palette.resize(256);
    m_exactNext.assign(m_palette.size(), -1);
    for (size_t i = m_palette.size(); i-- > 0;) {
        const int cell = cellOf(pixels::ColorToPixel(m_palette[i]));
        m_exactNext[i] = m_exactHead[static_cast<size_t>(cell)];
        m_exactHead[static_cast<size_t>(cell)] = static_cast<int16_t>(i);
        m_cells[static_cast<size_t>(cell)] = static_cast<int16_t>(i); // ends at the first entry of the cell
    }
}

uint8_t GifColourLookup::nearest(PixelBGR p) const
{
    int best = 0;
    int bestDistance = 1 << 30;
    for (size_t i = 0; i < m_palette.size(); ++i) {
        const Color c = m_palette[i];
        const int d = std::abs(static_cast<int>(c & 0xFF) - p.r) + std::abs(static_cast<int>((c >> 8) & 0xFF) - p.g)
            + std::abs(static_cast<int>((c >> 16) & 0xFF) - p.b);
        if (d < bestDistance) {
            bestDistance = d;
            best = static_cast<int>(i);
        }
    }
    return static_cast<uint8_t>(best);
}

GifReduction ReduceForGif(const pixels::Picture& picture)
{
    GifReduction result;
    if (picture.isEmpty()) return result;
    const int width = picture.width();
    const int height = picture.height();
    // A 24-bit picture is read in place; any other layout a row at a time.
    const bool inPlace = picture.format() == pixels::PixelFormat::Bits24;
    const pixels::PictureRowReader reader(picture);
    std::vector<PixelBGR> line(inPlace ? 0 : static_cast<size_t>(width));
    const auto row = [&](int y) {
        if (inPlace) return reinterpret_cast<const PixelBGR*>(picture.scanLine(y));
        reader.read(y, 0, width, line.data());
        return static_cast<const PixelBGR*>(line.data());
    };
    GifOctree tree;
    for (int y = 0; y < height; ++y)
        tree.addRow(row(y), width);
    result.palette = GifReductionPalette(tree.colours());
    GifColourLookup lookup(result.palette);
    result.indices.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
    uint8_t* out = result.indices.data();
    for (int y = 0; y < height; ++y) {
        const PixelBGR* line = row(y);
        PixelBGR last = line[0];
        uint8_t lastIndex = lookup.indexOf(last);
        for (int x = 0; x < width; ++x) {
            if (!(line[x] == last)) {
                last = line[x];
                lastIndex = lookup.indexOf(last);
            }
            *out++ = lastIndex;
        }
    }
    return result;
}

} // namespace kaptivus::files
