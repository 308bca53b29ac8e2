// Reads and writes runs of pixels between a Picture's stored layout and
// 24-bit PixelBGR. Standard library only. Callers clip: every (y, x0, count)
// handed in must lie inside the picture.
//
// Channels narrower than 8 bits are written rounded to nearest,
// (v × max + 127) / 255, and read back by bit replication (5 bits: v << 3 |
// v >> 2), so 8 → 5 → 8 → 5 bits is stable. Wider channels are rounded both
// ways. Indexed formats are written as the nearest table colour (Palettes.h);
// an index beyond the table reads as black.
#pragma once

#include "pixels/Palettes.h"
#include "pixels/Picture.h"

#include <array>
#include <memory>

namespace kaptivus::pixels {

// How one direct-colour channel sits in a pixel word.
struct ChannelLayout {
    int shift = 0;
    int bits = 0;
    uint32_t max = 0; // (1 << bits) - 1
};

ChannelLayout ChannelFromMask(uint32_t mask);
uint8_t ExpandChannel(uint32_t value, const ChannelLayout& channel);
uint32_t ReduceChannel(uint8_t value, const ChannelLayout& channel);

// Indexed rows pack 8 / bpp pixels a byte, the leftmost in the highest bits.
// bpp is 1, 2, 4 or 8; shifts instead of divisions keep this cheap per pixel.
inline int PixelsPerByteLog2(int bpp)
{
    return bpp == 1 ? 3 : (bpp == 2 ? 2 : (bpp == 4 ? 1 : 0));
}

inline unsigned LoadIndex(const uint8_t* line, int x, int bpp, int perByteLog2)
{
    const int shift = ((~x) & ((1 << perByteLog2) - 1)) * bpp;
    return (line[x >> perByteLog2] >> shift) & ((1u << bpp) - 1u);
}

inline void StoreIndex(uint8_t* line, int x, int bpp, int perByteLog2, unsigned index)
{
    const int shift = ((~x) & ((1 << perByteLog2) - 1)) * bpp;
    const unsigned mask = ((1u << bpp) - 1u) << shift;
    uint8_t& byte = line[x >> perByteLog2];
    byte = static_cast<uint8_t>((byte & ~mask) | ((index << shift) & mask));
}

class PictureRowReader {
public:
    explicit PictureRowReader(const Picture& picture);
    void read(int y, int x0, int count, PixelBGR* out) const;

private:
    void readIndexed(const uint8_t* line, int x0, int count, PixelBGR* out) const;
    void readMasked(const uint8_t* line, int x0, int count, PixelBGR* out) const;

    const Picture& m_picture;
    int m_bpp;
    bool m_indexed;
    bool m_plainBgr; // 24 or 32 bits with 8-bit channels in blue, green, red byte order
    std::array<ChannelLayout, 3> m_channels {}; // red, green, blue
};

class PictureRowWriter {
public:
    explicit PictureRowWriter(Picture& picture);
    void write(int y, int x0, int count, const PixelBGR* in);

private:
    void writeIndexed(uint8_t* line, int x0, int count, const PixelBGR* in) const;
    void writeMasked(uint8_t* line, int x0, int count, const PixelBGR* in) const;

    Picture& m_picture;
    int m_bpp;
    bool m_indexed;
    bool m_plainBgr;
    const NearestColorMap* m_map = nullptr;
    std::unique_ptr<NearestColorMap> m_ownMap;
    // The word of each channel value already shifted into place.
    std::array<std::array<uint32_t, 256>, 3> m_words {};
};

} // namespace kaptivus::pixels
