// Deterministic test pictures for the benchmarks: gradients, shapes, text-like
// strokes and noise, so that no effect meets a conveniently constant input.
#pragma once

#include "pixels/PixelBuffer.h"

#include <cstdint>

namespace kaptivus::bench {

// A small xorshift generator: the same picture on every run and every machine.
class FixtureRandom {
public:
    explicit FixtureRandom(uint32_t seed)
        : m_state(seed ? seed : 0x9E3779B9u)
    {
    }
    uint32_t next()
    {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        return m_state;
    }

private:
    uint32_t m_state;
};

namespace detail {

inline void FillGradient(kaptivus::pixels::TPixelBuffer& buffer)
{
    const int w = buffer.width();
    const int h = buffer.height();
    for (int y = 0; y < h; ++y) {
        kaptivus::pixels::PixelBGR* row = buffer.row(y);
        for (int x = 0; x < w; ++x) {
            row[x].r = static_cast<uint8_t>((x * 255) / (w > 1 ? w - 1 : 1));
            row[x].g = static_cast<uint8_t>((y * 255) / (h > 1 ? h - 1 : 1));
            row[x].b = static_cast<uint8_t>(((x + y) * 255) / (w + h > 2 ? w + h - 2 : 1));
        }
    }
}

inline void FillRect(
    kaptivus::pixels::TPixelBuffer& buffer, int left, int top, int right, int bottom, kaptivus::pixels::PixelBGR colour)
{
    left = left < 0 ? 0 : left;
    top = top < 0 ? 0 : top;
    right = right > buffer.width() ? buffer.width() : right;
    bottom = bottom > buffer.height() ? buffer.height() : bottom;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            buffer.row(y)[x] = colour;
}

// Windows with title bars, a few discs: hard edges like a desktop screenshot.
inline void DrawShapes(kaptivus::pixels::TPixelBuffer& buffer, FixtureRandom& random)
{
    const int w = buffer.width();
    const int h = buffer.height();
    for (int i = 0; i < 12; ++i) {
        const int left = static_cast<int>(random.next() % static_cast<uint32_t>(w));
        const int top = static_cast<int>(random.next() % static_cast<uint32_t>(h));
        const int right = left + 1 + static_cast<int>(random.next() % static_cast<uint32_t>(w / 3 + 1));
        const int bottom = top + 1 + static_cast<int>(random.next() % static_cast<uint32_t>(h / 3 + 1));
        const uint32_t c = random.next();
        FillRect(buffer, left, top, right, bottom, { uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16) });
        FillRect(buffer, left, top, right, top + 12, { 200, 90, 30 });
    }
    for (int i = 0; i < 6; ++i) {
        const int cx = static_cast<int>(random.next() % static_cast<uint32_t>(w));
        const int cy = static_cast<int>(random.next() % static_cast<uint32_t>(h));
        const int radius = 4 + static_cast<int>(random.next() % static_cast<uint32_t>(h / 6 + 1));
        const uint32_t c = random.next();
        for (int y = cy - radius; y <= cy + radius; ++y) {
            if (y < 0 || y >= h) continue;
            for (int x = cx - radius; x <= cx + radius; ++x) {
                if (x < 0 || x >= w) continue;
                if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= radius * radius)
                    buffer.row(y)[x] = { uint8_t(c >> 3), uint8_t(c >> 11), uint8_t(c >> 19) };
            }
        }
    }
}

// Lines of dark glyph-sized strokes, like text in a document window.
inline void DrawTextLike(kaptivus::pixels::TPixelBuffer& buffer, FixtureRandom& random)
{
    const int w = buffer.width();
    const int h = buffer.height();
    for (int line = 20; line + 10 < h; line += 18) {
        if (random.next() % 3 == 0) continue;
        for (int x = 8; x + 6 < w; x += 7) {
            if (random.next() % 6 == 0) continue;
            const uint32_t glyph = random.next();
            for (int gy = 0; gy < 9; ++gy)
                for (int gx = 0; gx < 5; ++gx)
                    if ((glyph >> ((gy * 5 + gx) % 31)) & 1u) buffer.row(line + gy)[x + gx] = { 20, 20, 24 };
        }
    }
}

inline void AddNoise(kaptivus::pixels::TPixelBuffer& buffer, FixtureRandom& random)
{
    for (int y = 0; y < buffer.height(); ++y) {
        uint8_t* bytes = buffer.rowBytes(y);
        for (int i = 0; i < buffer.width() * 3; ++i) {
            const int delta = static_cast<int>(random.next() % 9) - 4;
            bytes[i] = static_cast<uint8_t>(kaptivus::pixels::ClampByte(bytes[i] + delta));
        }
    }
}

} // namespace detail

// Allocates the buffer at width × height and paints the same picture every time.
inline void FillRealisticPicture(kaptivus::pixels::TPixelBuffer& buffer, int width, int height)
{
    if (!buffer.Allocate(width, height) || buffer.isEmpty()) return;
    FixtureRandom random(0x4B415054u);
    detail::FillGradient(buffer);
    detail::DrawShapes(buffer, random);
    detail::DrawTextLike(buffer, random);
    detail::AddNoise(buffer, random);
}

// The same desktop without the sensor-like noise: flat windows, gradients and
// text, as most screenshots are. Compressors meet it very differently.
inline void FillScreenLikePicture(kaptivus::pixels::TPixelBuffer& buffer, int width, int height)
{
    if (!buffer.Allocate(width, height) || buffer.isEmpty()) return;
    FixtureRandom random(0x4B415054u);
    detail::FillGradient(buffer);
    detail::DrawShapes(buffer, random);
    detail::DrawTextLike(buffer, random);
}

} // namespace kaptivus::bench

// Also reachable unqualified through the buffer's own namespace.
namespace kaptivus::pixels {
using kaptivus::bench::FillRealisticPicture;
} // namespace kaptivus::pixels
