// The picture type: layouts of the formats, creation, adoption of foreign
// rows, per-pixel access and conversion between formats.
#include "pixels/Picture.h"

#include "pixels/Palettes.h"
#include "pixels/PictureRows.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

namespace kaptivus::pixels {

namespace {

// The largest pixel memory a picture may take, the same bound as the buffers'.
constexpr int64_t kMaxPictureBytes = INT32_MAX;

} // namespace

struct detail::PictureLayout {
    int bitsPerPixel = 0;
    uint32_t red = 0, green = 0, blue = 0;
    const std::vector<Color>* palette = nullptr;
};

namespace {

using Layout = detail::PictureLayout;

bool MasksFit(int bitsPerPixel, uint32_t r, uint32_t g, uint32_t b)
{
    if (r == 0 || g == 0 || b == 0) return false;
    if ((r & g) || (r & b) || (g & b)) return false;
    const uint64_t limit = uint64_t { 1 } << bitsPerPixel;
    return (static_cast<uint64_t>(r | g | b)) < limit;
}

bool DeviceLayout(const DeviceFormat& d, Layout& out)
{
    if (d.bitsPerPixel != 16 && d.bitsPerPixel != 24 && d.bitsPerPixel != 32) return false;
    if (d.depth < 1 || d.depth > d.bitsPerPixel) return false;
    if (!MasksFit(d.bitsPerPixel, d.redMask, d.greenMask, d.blueMask)) return false;
    out = { d.bitsPerPixel, d.redMask, d.greenMask, d.blueMask, nullptr };
    return true;
}

// The stored layout of each format that can be asked for by name.
bool LayoutOf(PixelFormat format, const DeviceFormat& device, Layout& out)
{
    switch (format) {
    case PixelFormat::DeviceDefault:
        return DeviceLayout(device, out);
    case PixelFormat::Bits1:
        out = { 1, 0, 0, 0, &MonochromePalette() };
        return true;
    case PixelFormat::Bits4:
        out = { 4, 0, 0, 0, &StandardPalette16() };
        return true;
    case PixelFormat::Bits8:
        out = { 8, 0, 0, 0, &HalftonePalette256() };
        return true;
    case PixelFormat::Bits15:
        out = { 16, 0x7C00, 0x03E0, 0x001F, nullptr };
        return true;
    case PixelFormat::Bits16:
        out = { 16, 0xF800, 0x07E0, 0x001F, nullptr };
        return true;
    case PixelFormat::Bits24:
        out = { 24, 0xFF0000, 0x00FF00, 0x0000FF, nullptr };
        return true;
    case PixelFormat::Bits32:
        out = { 32, 0xFF0000, 0x00FF00, 0x0000FF, nullptr };
        return true;
    case PixelFormat::Custom:
        return false;
    }
    return false;
}

// Custom pictures: indexed at 1, 2, 4, 8 bits, or masked words of 16, 24, 32
// bits. Missing masks mean the usual ones (5-5-5 for 16 bits, 8-8-8 above).
bool CustomLayout(int bitsPerPixel, uint32_t r, uint32_t g, uint32_t b, Layout& out)
{
    static const std::vector<Color> noPalette;
    if (bitsPerPixel == 1 || bitsPerPixel == 2 || bitsPerPixel == 4 || bitsPerPixel == 8) {
        out = { bitsPerPixel, 0, 0, 0, &noPalette };
        return true;
    }
    if (bitsPerPixel != 16 && bitsPerPixel != 24 && bitsPerPixel != 32) return false;
    if (r == 0 && g == 0 && b == 0) {
        if (bitsPerPixel == 16)
            r = 0x7C00, g = 0x03E0, b = 0x001F;
        else
            r = 0xFF0000, g = 0x00FF00, b = 0x0000FF;
    }
    if (!MasksFit(bitsPerPixel, r, g, b)) return false;
    out = { bitsPerPixel, r, g, b, nullptr };
    return true;
}

int64_t AlignedStride(int width, int bitsPerPixel)
{
    return ((static_cast<int64_t>(width) * bitsPerPixel + 31) / 32) * 4;
}

int64_t RowBytes(int width, int bitsPerPixel)
{
    return (static_cast<int64_t>(width) * bitsPerPixel + 7) / 8;
}

} // namespace

void Picture::applyLayout(PixelFormat format, const DeviceFormat& device, const detail::PictureLayout& l)
{
    m_format = format;
    m_device = device;
    m_storageBits = l.bitsPerPixel;
    m_redMask = l.red;
    m_greenMask = l.green;
    m_blueMask = l.blue;
    m_palette = l.palette ? *l.palette : std::vector<Color> {};
}

Picture Picture::create(int width, int height, PixelFormat format, const DeviceFormat& device)
{
    Picture picture;
    Layout layout;
    if (!LayoutOf(format, device, layout)) {
        picture.m_format = format;
        picture.m_device = device;
        return picture;
    }
    picture.applyLayout(format, device, layout);
    if (width <= 0 || height <= 0) return picture;
    const int64_t stride = AlignedStride(width, layout.bitsPerPixel);
    if (stride > kMaxPictureBytes / height) return picture;
    try {
        picture.m_bits = std::make_shared<std::vector<uint8_t>>(static_cast<size_t>(stride * height), 0);
    } catch (const std::bad_alloc&) {
        return picture;
    }
    picture.m_width = width;
    picture.m_height = height;
    picture.m_stride = static_cast<int>(stride);
    return picture;
}

Picture Picture::adopt(int width, int height, PixelFormat format, const DeviceFormat& device,
    std::vector<uint8_t>&& bits, int stride, int bitsPerPixel, uint32_t redMask, uint32_t greenMask, uint32_t blueMask)
{
    Picture picture;
    picture.m_format = format;
    picture.m_device = device;
    Layout layout;
    const bool known = format == PixelFormat::Custom ? CustomLayout(bitsPerPixel, redMask, greenMask, blueMask, layout)
                                                     : LayoutOf(format, device, layout);
    if (!known) return picture;
    picture.applyLayout(format, device, layout);
    if (width <= 0 || height <= 0 || stride <= 0) return picture;
    const int64_t rowBytes = RowBytes(width, layout.bitsPerPixel);
    if (stride < rowBytes) return picture;
    // Only complete rows are kept: a short buffer loses its last rows.
    const int64_t available = static_cast<int64_t>(std::min<size_t>(bits.size(), size_t { INT64_MAX / 2 }));
    const int64_t completeRows = available < rowBytes ? 0 : 1 + (available - rowBytes) / stride;
    const int rows = static_cast<int>(std::min<int64_t>(height, completeRows));
    if (rows <= 0) return picture;
    const int64_t aligned = AlignedStride(width, layout.bitsPerPixel);
    if (aligned > kMaxPictureBytes / rows) return picture;
    try {
        if (stride % 4 == 0) {
            // Padding the last row keeps every scanLine() a full stride long.
            bits.resize(std::max(bits.size(), static_cast<size_t>(static_cast<int64_t>(stride) * rows)), 0);
            picture.m_bits = std::make_shared<std::vector<uint8_t>>(std::move(bits));
            picture.m_stride = stride;
        } else {
            std::vector<uint8_t> packed(static_cast<size_t>(aligned * rows), 0);
            for (int y = 0; y < rows; ++y)
                std::memcpy(packed.data() + y * aligned, bits.data() + static_cast<int64_t>(y) * stride,
                    static_cast<size_t>(rowBytes));
            picture.m_bits = std::make_shared<std::vector<uint8_t>>(std::move(packed));
            picture.m_stride = static_cast<int>(aligned);
        }
    } catch (const std::bad_alloc&) {
        picture.m_bits.reset();
        return picture;
    }
    picture.m_width = width;
    picture.m_height = rows;
    return picture;
}

void Picture::ownBits()
{
    m_bits = std::make_shared<std::vector<uint8_t>>(*m_bits);
}

const std::vector<uint8_t>& Picture::noBits()
{
    static const std::vector<uint8_t> none;
    return none;
}

PixelBGR Picture::pixel(int x, int y) const
{
    if (x < 0 || y < 0 || x >= m_width || y >= m_height) return PixelBGR {};
    PixelBGR p;
    PictureRowReader(*this).read(y, x, 1, &p);
    return p;
}

void Picture::setPixel(int x, int y, PixelBGR p)
{
    if (x < 0 || y < 0 || x >= m_width || y >= m_height) return;
    if (m_storageBits <= 8) {
        // A plain scan: building the fast map would cost more than one pixel.
        std::vector<Color> reachable = m_palette;
        if (reachable.size() > (size_t { 1 } << m_storageBits)) reachable.resize(size_t { 1 } << m_storageBits);
        StoreIndex(scanLine(y), x, m_storageBits, PixelsPerByteLog2(m_storageBits), NearestIndex(reachable, p));
        return;
    }
    PictureRowWriter(*this).write(y, x, 1, &p);
}

Picture Picture::copyRect(int left, int top, int width, int height) const
{
    if (width <= 0 || height <= 0 || isEmpty() || m_storageBits % 8 != 0) return {};
    Picture cut = create(width, height, m_format, m_device);
    if (cut.isEmpty()) return cut;
    cut.m_palette = m_palette;
    // The part that lies on this picture, in 64 bits: the rectangle may reach past int.
    const int64_t x0 = std::max<int64_t>(left, 0), y0 = std::max<int64_t>(top, 0);
    const int64_t x1 = std::min<int64_t>(int64_t(left) + width, m_width);
    const int64_t y1 = std::min<int64_t>(int64_t(top) + height, m_height);
    if (x1 <= x0 || y1 <= y0) return cut;
    const size_t pixelBytes = static_cast<size_t>(m_storageBits / 8);
    for (int64_t y = y0; y < y1; ++y)
        std::memcpy(cut.scanLine(int(y - top)) + size_t(x0 - left) * pixelBytes, scanLine(int(y)) + size_t(x0) * pixelBytes,
            size_t(x1 - x0) * pixelBytes);
    return cut;
}

void Picture::convertTo(PixelFormat format)
{
    if (format == m_format || format == PixelFormat::Custom) return;
    Picture target = create(m_width, m_height, format, m_device);
    if (target.isEmpty() && !isEmpty()) return; // no memory or no such layout: keep the picture as it is
    if (!isEmpty()) {
        const PictureRowReader reader(*this);
        PictureRowWriter writer(target);
        std::vector<PixelBGR> line(static_cast<size_t>(m_width));
        for (int y = 0; y < m_height; ++y) {
            reader.read(y, 0, m_width, line.data());
            writer.write(y, 0, m_width, line.data());
        }
    }
    target.m_transparent = m_transparent;
    target.m_transparentColor = m_transparentColor;
    *this = std::move(target);
}

int PixelFormatBits(const Picture& picture)
{
    return PixelFormatBits(picture.format(), picture.device());
}

int PixelFormatBits(PixelFormat format, const DeviceFormat& device)
{
    switch (format) {
    case PixelFormat::Bits1:
        return 1;
    case PixelFormat::Bits4:
        return 4;
    case PixelFormat::Bits8:
        return 8;
    case PixelFormat::Bits15:
        return 15;
    case PixelFormat::Bits16:
        return 16;
    case PixelFormat::Bits24:
        return 24;
    case PixelFormat::Bits32:
        return 32;
    case PixelFormat::DeviceDefault:
    case PixelFormat::Custom:
        break;
    }
    // What the screen stores a pixel in: a depth-24 screen with 32-bit pixels
    // counts as 32 bits, as the status bar's "64M Coul." says.
    return device.bitsPerPixel;
}

PixelFormat PixelFormatForIndex(int index)
{
    switch (index) {
    case 1:
        return PixelFormat::Bits1;
    case 2:
        return PixelFormat::Bits4;
    case 3:
        return PixelFormat::Bits8;
    case 4:
        return PixelFormat::Bits15;
    case 5:
        return PixelFormat::Bits16;
    case 6:
        return PixelFormat::Bits24;
    case 7:
        return PixelFormat::Bits32;
    default:
        return PixelFormat::DeviceDefault;
    }
}

PixelFormat RecognisePixelFormat(int bitCount, uint32_t redMask, uint32_t greenMask, uint32_t blueMask)
{
    const bool noMasks = redMask == 0 && greenMask == 0 && blueMask == 0;
    switch (bitCount) {
    case 1:
        return PixelFormat::Bits1;
    case 4:
        return PixelFormat::Bits4;
    case 8:
        return PixelFormat::Bits8;
    case 16:
        if (noMasks) return PixelFormat::Bits15;
        if (redMask == 0xF800 && greenMask == 0x07E0 && blueMask == 0x001F) return PixelFormat::Bits16;
        return PixelFormat::Custom;
    case 24:
        return PixelFormat::Bits24;
    case 32:
        return noMasks ? PixelFormat::Bits32 : PixelFormat::Custom;
    default:
        return PixelFormat::Custom;
    }
}

} // namespace kaptivus::pixels
