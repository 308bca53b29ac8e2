// The program's bitmap: size, pixel format, colour table, row data and a
// transparent colour. No Qt, no X11: the screen's own layout ("device default")
// is described by a DeviceFormat that the caller passes in.
#pragma once

#include "pixels/PixelBase.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace kaptivus::pixels {

namespace detail {
struct PictureLayout;
}

enum class PixelFormat { DeviceDefault, Bits1, Bits4, Bits8, Bits15, Bits16, Bits24, Bits32, Custom };

// The X screen's own pixel layout: depth, bits per pixel and channel masks.
// The default is the common depth-24 screen with 32-bit pixels.
struct DeviceFormat {
    int depth = 24;
    int bitsPerPixel = 32;
    uint32_t redMask = 0xFF0000;
    uint32_t greenMask = 0x00FF00;
    uint32_t blueMask = 0x0000FF;
    friend bool operator==(const DeviceFormat&, const DeviceFormat&) = default;
};

// Rows are top-down, little-endian words, each row padded to a multiple of 4
// bytes. Palette entries are colours 0x00BBGGRR like every colour of the program.
// Copies share their rows until one of them is written through scanLine():
// a screen-sized picture handed on unchanged costs no copy. A row pointer
// taken for writing is good until the picture is next copied.
class Picture {
public:
    Picture() = default;
    Picture(const Picture&) = default;
    Picture(Picture&&) noexcept = default;
    Picture& operator=(Picture&&) noexcept = default;
    // Assigning a small picture over a large one lets go of the large one's
    // memory, where vector assignment would keep it as spare capacity for as
    // long as the picture lives.
    Picture& operator=(const Picture& other)
    {
        if (this != &other) *this = Picture(other);
        return *this;
    }

    // A zeroed (black) picture; an empty one for sizes of 0, for more than
    // 2 GiB of pixels, for a device layout other than 16, 24 or 32 bits per
    // pixel with three disjoint masks, or when the memory cannot be had.
    // Custom is not a format that can be asked for: it only comes from adopt().
    static Picture create(int width, int height, PixelFormat format, const DeviceFormat& device = {});
    // Takes over rows already in memory (a screen grab, a decoded file). For
    // DeviceDefault the layout is the device's; for Custom give bitsPerPixel
    // (1, 2, 4, 8 indexed: set the palette afterwards; 16, 24, 32 with masks,
    // none meaning 5-5-5 or 8-8-8). Inconsistent data never gives a picture
    // that reads out of bounds: an unknown layout, a size below 1 or a stride
    // shorter than a row gives an empty picture; a buffer too short for every
    // row keeps only its complete rows (the height shrinks); a stride that is
    // not a multiple of 4 is repacked.
    static Picture adopt(int width, int height, PixelFormat format, const DeviceFormat& device,
        std::vector<uint8_t>&& bits, int stride, int bitsPerPixel = 0, uint32_t redMask = 0, uint32_t greenMask = 0,
        uint32_t blueMask = 0);

    int width() const { return m_width; }
    int height() const { return m_height; }
    bool isEmpty() const { return m_width <= 0 || m_height <= 0; }
    PixelFormat format() const { return m_format; }
    const DeviceFormat& device() const { return m_device; }
    // Bits each pixel takes in memory (15-bit pixels take 16).
    int storageBits() const { return m_storageBits; }
    int stride() const { return m_stride; }
    // The channel masks in effect for direct-colour layouts (also for 15, 24
    // and 32 bits, whose files carry none); 0 for indexed layouts.
    uint32_t redMask() const { return m_redMask; }
    uint32_t greenMask() const { return m_greenMask; }
    uint32_t blueMask() const { return m_blueMask; }
    // Writing rows: rows shared with a copy are made this picture's own first
    // (std::bad_alloc when the memory cannot be had).
    uint8_t* scanLine(int y)
    {
        if (m_bits.use_count() > 1) ownBits();
        return m_bits->data() + static_cast<size_t>(y) * static_cast<size_t>(m_stride);
    }
    const uint8_t* scanLine(int y) const
    {
        return bits().data() + static_cast<size_t>(y) * static_cast<size_t>(m_stride);
    }
    const std::vector<uint8_t>& bits() const { return m_bits ? *m_bits : noBits(); }
    // True when both pictures read their rows from the same memory.
    bool sharesRowsWith(const Picture& other) const { return m_bits && m_bits == other.m_bits; }
    const std::vector<Color>& palette() const { return m_palette; }
    void setPalette(std::vector<Color> palette) { m_palette = std::move(palette); }

    // Slow per-pixel access for tests, picking and small jobs; bulk work goes
    // through TPixelBuffer. setPixel maps to the nearest table colour for 1, 4, 8 bits.
    PixelBGR pixel(int x, int y) const;
    void setPixel(int x, int y, PixelBGR p);

    bool transparent() const { return m_transparent; }
    Color transparentColor() const { return m_transparentColor; }
    void setTransparent(bool on, Color colour = 0)
    {
        m_transparent = on;
        m_transparentColor = colour;
    }

    // The pixels of a rectangle (left and top may be negative), in the same
    // format: what lies outside the picture is black. Empty for an empty
    // rectangle, a picture of less than a byte a pixel, or when the memory
    // cannot be had.
    Picture copyRect(int left, int top, int width, int height) const;

    // Stores the picture in another format, mapping every pixel to the nearest
    // colour the format can hold, without dithering. Setting the current format
    // does nothing. DeviceDefault uses the picture's device(). Nearest colour
    // and channel rounding: see Palettes.h and PictureRows.h. When the new
    // layout cannot be had the picture stays as it was.
    void convertTo(PixelFormat format);

private:
    void applyLayout(PixelFormat format, const DeviceFormat& device, const detail::PictureLayout& layout);
    void ownBits();
    static const std::vector<uint8_t>& noBits();

    int m_width = 0;
    int m_height = 0;
    PixelFormat m_format = PixelFormat::DeviceDefault;
    DeviceFormat m_device;
    int m_storageBits = 0;
    int m_stride = 0;
    uint32_t m_redMask = 0;
    uint32_t m_greenMask = 0;
    uint32_t m_blueMask = 0;
    // Never null for a picture with pixels.
    std::shared_ptr<std::vector<uint8_t>> m_bits;
    std::vector<Color> m_palette;
    bool m_transparent = false;
    Color m_transparentColor = 0;
};

// Bits per pixel as the status bar names them: 1, 4, 8, 15, 16, 24, 32; device
// default and custom give the bits the screen stores a pixel in.
int PixelFormatBits(const Picture& picture);
int PixelFormatBits(PixelFormat format, const DeviceFormat& device);

// The format ComboBox1's index stands for (0 and anything outside 1..7: device default).
PixelFormat PixelFormatForIndex(int index);

// How a bitmap with this header bit count and masks is recognised: 16 bits
// without masks is 15 bits, with exactly 0xF800/0x07E0/0x001F 16 bits, with
// others custom; 32 bits with any mask is custom; unknown counts are custom.
PixelFormat RecognisePixelFormat(int bitCount, uint32_t redMask, uint32_t greenMask, uint32_t blueMask);

} // namespace kaptivus::pixels
