// A plain reference writer of BMP files for the tests: any header size,
// masks, colour table, offset and raw row bytes, so that layouts our own
// writer never makes (top-down, core header, RLE, odd masks) can be read.
#pragma once

#include "pixels/PixelBase.h"

#include <cstdint>
#include <vector>

namespace kaptivus::files::testing {

struct BmpLayout {
    uint32_t headerSize = 40;
    int32_t width = 1;
    int32_t height = 1;
    uint16_t bitCount = 24;
    uint32_t compression = 0;
    uint32_t colorsUsed = 0;
    std::vector<uint32_t> masks; // after a 40-byte header, inside a larger one
    std::vector<pixels::Color> palette;
    std::vector<uint8_t> bits; // as stored, rows padded by the caller
    int64_t offset = -1; // default: right after the colour table
};

inline void Put(std::vector<uint8_t>& out, size_t at, uint32_t value, int bytes)
{
    if (out.size() < at + static_cast<size_t>(bytes)) out.resize(at + static_cast<size_t>(bytes), 0);
    for (int i = 0; i < bytes; ++i)
        out[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
}

inline std::vector<uint8_t> BuildBmp(const BmpLayout& s)
{
    std::vector<uint8_t> out { 'B', 'M' };
    const size_t h = 14;
    Put(out, h, s.headerSize, 4);
    if (s.headerSize == 12) {
        Put(out, h + 4, static_cast<uint32_t>(s.width), 2);
        Put(out, h + 6, static_cast<uint32_t>(s.height), 2);
        Put(out, h + 8, 1, 2);
        Put(out, h + 10, s.bitCount, 2);
    } else {
        Put(out, h + 4, static_cast<uint32_t>(s.width), 4);
        Put(out, h + 8, static_cast<uint32_t>(s.height), 4);
        Put(out, h + 12, 1, 2);
        Put(out, h + 14, s.bitCount, 2);
        Put(out, h + 16, s.compression, 4);
        Put(out, h + 32, s.colorsUsed, 4);
        out.resize(h + s.headerSize, 0);
    }
    size_t at = s.headerSize > 40 ? h + 40 : out.size();
    for (uint32_t m : s.masks) {
        Put(out, at, m, 4);
        at += 4;
    }
    for (pixels::Color c : s.palette) {
        out.push_back(static_cast<uint8_t>(c >> 16));
        out.push_back(static_cast<uint8_t>(c >> 8));
        out.push_back(static_cast<uint8_t>(c));
        if (s.headerSize != 12) out.push_back(0);
    }
    Put(out, 10, static_cast<uint32_t>(s.offset >= 0 ? s.offset : static_cast<int64_t>(out.size())), 4);
    out.insert(out.end(), s.bits.begin(), s.bits.end());
    Put(out, 2, static_cast<uint32_t>(out.size()), 4);
    return out;
}

} // namespace kaptivus::files::testing
