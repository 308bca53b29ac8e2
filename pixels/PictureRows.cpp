// Pixel runs between a Picture's stored layout and 24-bit pixels.
#include "pixels/PictureRows.h"

#include <bit>
#include <cstring>

namespace kaptivus::pixels {

namespace {

bool IsIndexed(const Picture& picture)
{
    return picture.storageBits() <= 8;
}

bool IsPlainBgr(const Picture& picture)
{
    return (picture.storageBits() == 24 || picture.storageBits() == 32) && picture.redMask() == 0xFF0000
        && picture.greenMask() == 0x00FF00 && picture.blueMask() == 0x0000FF;
}

uint32_t LoadWord(const uint8_t* p, int bytes)
{
    uint32_t word = 0;
    for (int i = 0; i < bytes; ++i)
        word |= static_cast<uint32_t>(p[i]) << (8 * i);
    return word;
}

void StoreWord(uint8_t* p, int bytes, uint32_t word)
{
    for (int i = 0; i < bytes; ++i)
        p[i] = static_cast<uint8_t>(word >> (8 * i));
}

PixelBGR PaletteColour(const std::vector<Color>& palette, unsigned index)
{
    return index < palette.size() ? ColorToPixel(palette[index]) : PixelBGR {};
}

const NearestColorMap* SharedMapFor(const std::vector<Color>& palette)
{
    if (palette == MonochromePalette()) return &NearestColorMap::monochrome();
    if (palette == StandardPalette16()) return &NearestColorMap::standard16();
    if (palette == HalftonePalette256()) return &NearestColorMap::halftone256();
    return nullptr;
}

} // namespace

ChannelLayout ChannelFromMask(uint32_t mask)
{
    ChannelLayout c;
    if (mask == 0) return c;
    c.shift = std::countr_zero(mask);
    const uint32_t span = mask >> c.shift;
    c.bits = 32 - std::countl_zero(span);
    c.max = c.bits >= 32 ? 0xFFFFFFFFu : ((1u << c.bits) - 1u);
    return c;
}

uint8_t ExpandChannel(uint32_t value, const ChannelLayout& channel)
{
    if (channel.bits == 0) return 0;
    if (channel.bits == 8) return static_cast<uint8_t>(value);
    if (channel.bits > 8) {
        const uint64_t max = channel.max;
        return static_cast<uint8_t>((static_cast<uint64_t>(value) * 255u + max / 2) / max);
    }
    uint32_t out = value << (8 - channel.bits);
    for (int s = channel.bits; s < 8; s *= 2)
        out |= out >> s;
    return static_cast<uint8_t>(out);
}

uint32_t ReduceChannel(uint8_t value, const ChannelLayout& channel)
{
    if (channel.bits == 0) return 0;
    return static_cast<uint32_t>((static_cast<uint64_t>(value) * channel.max + 127u) / 255u);
}

PictureRowReader::PictureRowReader(const Picture& picture)
    : m_picture(picture)
    , m_bpp(picture.storageBits())
    , m_indexed(IsIndexed(picture))
    , m_plainBgr(IsPlainBgr(picture))
{
    m_channels = { ChannelFromMask(picture.redMask()), ChannelFromMask(picture.greenMask()),
        ChannelFromMask(picture.blueMask()) };
}

void PictureRowReader::read(int y, int x0, int count, PixelBGR* out) const
{
    if (count <= 0) return;
    const uint8_t* line = m_picture.scanLine(y);
    if (m_indexed) {
        readIndexed(line, x0, count, out);
    } else if (m_plainBgr && m_bpp == 24) {
        std::memcpy(out, line + static_cast<size_t>(x0) * 3, static_cast<size_t>(count) * 3);
    } else if (m_plainBgr) {
        const uint8_t* p = line + static_cast<size_t>(x0) * 4;
        for (int i = 0; i < count; ++i, p += 4)
            out[i] = PixelBGR { p[0], p[1], p[2] };
    } else {
        readMasked(line, x0, count, out);
    }
}

void PictureRowReader::readIndexed(const uint8_t* line, int x0, int count, PixelBGR* out) const
{
    const std::vector<Color>& palette = m_picture.palette();
    if (m_bpp == 8) {
        for (int i = 0; i < count; ++i)
            out[i] = PaletteColour(palette, line[x0 + i]);
        return;
    }
    const int perByteLog2 = PixelsPerByteLog2(m_bpp);
    for (int i = 0; i < count; ++i)
        out[i] = PaletteColour(palette, LoadIndex(line, x0 + i, m_bpp, perByteLog2));
}

void PictureRowReader::readMasked(const uint8_t* line, int x0, int count, PixelBGR* out) const
{
    const int bytes = m_bpp / 8;
    const uint8_t* p = line + static_cast<size_t>(x0) * static_cast<size_t>(bytes);
    const ChannelLayout& r = m_channels[0];
    const ChannelLayout& g = m_channels[1];
    const ChannelLayout& b = m_channels[2];
    for (int i = 0; i < count; ++i, p += bytes) {
        const uint32_t word = LoadWord(p, bytes);
        out[i] = PixelBGR { ExpandChannel((word >> b.shift) & b.max, b), ExpandChannel((word >> g.shift) & g.max, g),
            ExpandChannel((word >> r.shift) & r.max, r) };
    }
}

PictureRowWriter::PictureRowWriter(Picture& picture)
    : m_picture(picture)
    , m_bpp(picture.storageBits())
    , m_indexed(IsIndexed(picture))
    , m_plainBgr(IsPlainBgr(picture))
{
    if (m_indexed) {
        // Only the entries an index of this width can reach take part.
        std::vector<Color> reachable = picture.palette();
        if (reachable.size() > (size_t { 1 } << m_bpp)) reachable.resize(size_t { 1 } << m_bpp);
        m_map = SharedMapFor(reachable);
        if (!m_map) {
            m_ownMap = std::make_unique<NearestColorMap>(std::move(reachable));
            m_map = m_ownMap.get();
        }
        return;
    }
    const uint32_t masks[3] = { picture.redMask(), picture.greenMask(), picture.blueMask() };
    for (int c = 0; c < 3; ++c) {
        const ChannelLayout layout = ChannelFromMask(masks[c]);
        for (int v = 0; v < 256; ++v)
            m_words[static_cast<size_t>(c)][static_cast<size_t>(v)]
                = layout.bits == 0 ? 0u : (ReduceChannel(static_cast<uint8_t>(v), layout) << layout.shift);
    }
}

void PictureRowWriter::write(int y, int x0, int count, const PixelBGR* in)
{
    if (count <= 0) return;
    uint8_t* line = m_picture.scanLine(y);
    if (m_indexed) {
        writeIndexed(line, x0, count, in);
    } else if (m_plainBgr && m_bpp == 24) {
        std::memcpy(line + static_cast<size_t>(x0) * 3, in, static_cast<size_t>(count) * 3);
    } else if (m_plainBgr) {
        uint8_t* p = line + static_cast<size_t>(x0) * 4;
        for (int i = 0; i < count; ++i, p += 4) {
            p[0] = in[i].b;
            p[1] = in[i].g;
            p[2] = in[i].r;
            p[3] = 0;
        }
    } else {
        writeMasked(line, x0, count, in);
    }
}

void PictureRowWriter::writeIndexed(uint8_t* line, int x0, int count, const PixelBGR* in) const
{
    PixelBGR last {};
    unsigned lastIndex = m_map->indexOf(last);
    const unsigned mask = (1u << m_bpp) - 1u;
    auto indexAt = [&](int i) {
        // Runs of one colour are common in screenshots: skip the search for them.
        if (!(in[i] == last)) {
            last = in[i];
            lastIndex = m_map->indexOf(last);
        }
        return lastIndex & mask;
    };
    if (m_bpp == 8) {
        for (int i = 0; i < count; ++i)
            line[x0 + i] = static_cast<uint8_t>(indexAt(i));
        return;
    }
    const int perByteLog2 = PixelsPerByteLog2(m_bpp);
    const int perByte = 1 << perByteLog2;
    int i = 0;
    // Only the bytes at either end are shared with pixels outside the run;
    // whole bytes in between are built in a register and stored once.
    for (; i < count && ((x0 + i) & (perByte - 1)) != 0; ++i)
        StoreIndex(line, x0 + i, m_bpp, perByteLog2, indexAt(i));
    for (; i + perByte <= count; i += perByte) {
        unsigned byte = 0;
        for (int k = 0; k < perByte; ++k)
            byte = (byte << m_bpp) | indexAt(i + k);
        line[(x0 + i) >> perByteLog2] = static_cast<uint8_t>(byte);
    }
    for (; i < count; ++i)
        StoreIndex(line, x0 + i, m_bpp, perByteLog2, indexAt(i));
}

void PictureRowWriter::writeMasked(uint8_t* line, int x0, int count, const PixelBGR* in) const
{
    const int bytes = m_bpp / 8;
    uint8_t* p = line + static_cast<size_t>(x0) * static_cast<size_t>(bytes);
    for (int i = 0; i < count; ++i, p += bytes)
        StoreWord(p, bytes, m_words[0][in[i].r] | m_words[1][in[i].g] | m_words[2][in[i].b]);
}

} // namespace kaptivus::pixels
