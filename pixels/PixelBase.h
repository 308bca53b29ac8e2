// The 24-bit pixel buffer's base: its layout fields and the small helpers the
// effects share. Standard library only: no Qt, no X11.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kaptivus::pixels {

// One pixel as it sits in memory: blue, green, red. No alpha.
struct PixelBGR {
    uint8_t b = 0;
    uint8_t g = 0;
    uint8_t r = 0;
    friend bool operator==(const PixelBGR&, const PixelBGR&) = default;
};
static_assert(sizeof(PixelBGR) == 3);

// Colours are 0x00BBGGRR: red in the low byte.
using Color = uint32_t;

inline constexpr int ClampByte(int v) { return v > 255 ? 255 : (v < 0 ? 0 : v); }
// The upper bound is tested first, so ClampInt(v, 0, -1) gives -1 for any v.
inline constexpr int ClampInt(int v, int min, int max) { return v > max ? max : (v < min ? min : v); }
inline constexpr PixelBGR ColorToPixel(Color c)
{
    return PixelBGR{static_cast<uint8_t>((c >> 16) & 0xFF), static_cast<uint8_t>((c >> 8) & 0xFF),
                    static_cast<uint8_t>(c & 0xFF)};
}

// Top-down rows of 24-bit pixels, each row padded to a multiple of 4 bytes.
class TPixelBase {
public:
    virtual ~TPixelBase() = default;

    int width() const { return m_width; }
    int height() const { return m_height; }
    int rowStride() const { return m_rowStride; }
    int rowPadding() const { return m_rowPadding; }
    int size() const { return m_size; }
    bool isEmpty() const { return m_width <= 0 || m_height <= 0; }

    uint8_t* data() { return m_data; }
    const uint8_t* data() const { return m_data; }
    PixelBGR* row(int y) { return reinterpret_cast<PixelBGR*>(m_rows[static_cast<size_t>(y)]); }
    const PixelBGR* row(int y) const { return reinterpret_cast<const PixelBGR*>(m_rows[static_cast<size_t>(y)]); }
    uint8_t* rowBytes(int y) { return m_rows[static_cast<size_t>(y)]; }
    const uint8_t* rowBytes(int y) const { return m_rows[static_cast<size_t>(y)]; }

protected:
    int m_rowPadding = 0;
    int m_rowStride = 0;
    int m_size = 0;
    int m_width = 0;
    int m_height = 0;
    std::vector<uint8_t*> m_rows;
    uint8_t* m_data = nullptr;
};

} // namespace kaptivus::pixels
