// Shared inputs of the pixel tests: an asymmetric coloured "F" that shows
// flips and channel swaps, seeded random buffers and byte-level helpers.
#pragma once

#include "pixels/PixelBuffer.h"

#include <cstdint>
#include <random>
#include <vector>

namespace kaptivus::pixels::testing {

inline constexpr PixelBGR kRed { 0, 0, 255 };
inline constexpr PixelBGR kBlue { 255, 0, 0 };
inline constexpr PixelBGR kWhite { 255, 255, 255 };
inline constexpr PixelBGR kBlack { 0, 0, 0 };

// A 6 × 5 red "F" on blue; no two of its mirror images or channel swaps agree.
inline void FillF(TPixelBuffer& buffer)
{
    static const char* const rows[5] = { "#####.", "#.....", "####..", "#.....", "#....." };
    buffer.Allocate(6, 5);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x)
            buffer.row(y)[x] = rows[y][x] == '#' ? kRed : kBlue;
}

// Every pixel a different colour in all three channels, deterministic.
inline void FillRandom(TPixelBuffer& buffer, int width, int height, uint32_t seed)
{
    buffer.Allocate(width, height);
    std::mt19937 random(seed);
    for (int y = 0; y < buffer.height(); ++y)
        for (int x = 0; x < buffer.width(); ++x) {
            const uint32_t v = random();
            buffer.row(y)[x] = PixelBGR { uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16) };
        }
}

// A smooth, asymmetric ramp plus the primaries in the corners.
inline void FillRamp(TPixelBuffer& buffer, int width, int height)
{
    buffer.Allocate(width, height);
    for (int y = 0; y < buffer.height(); ++y)
        for (int x = 0; x < buffer.width(); ++x)
            buffer.row(y)[x] = PixelBGR { uint8_t(y * 37 + x), uint8_t(x * 11 + 3), uint8_t(x * 29 + y * 5) };
    if (buffer.isEmpty()) return;
    buffer.row(0)[0] = kRed;
    buffer.row(buffer.height() - 1)[buffer.width() - 1] = kBlue;
}

// Writes a sentinel into every row's padding bytes.
inline void MarkPadding(TPixelBuffer& buffer, uint8_t sentinel)
{
    for (int y = 0; y < buffer.height(); ++y)
        for (int i = buffer.width() * 3; i < buffer.rowStride(); ++i)
            buffer.rowBytes(y)[i] = sentinel;
}

inline bool PaddingIs(const TPixelBuffer& buffer, uint8_t sentinel)
{
    for (int y = 0; y < buffer.height(); ++y)
        for (int i = buffer.width() * 3; i < buffer.rowStride(); ++i)
            if (buffer.rowBytes(y)[i] != sentinel) return false;
    return true;
}

inline std::vector<uint8_t> Bytes(const TPixelBuffer& buffer)
{
    return std::vector<uint8_t>(buffer.data(), buffer.data() + buffer.size());
}

} // namespace kaptivus::pixels::testing
