// The 24-bit pixel buffer: memory, row table, copies and the two resizes.
#include "pixels/PixelBuffer.h"

#include "pixels/Picture.h"
#include "pixels/PictureRows.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace kaptivus::pixels {

bool TPixelBuffer::Allocate(int width, int height)
{
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (width == m_width && height == m_height) return true;
    // Rows are padded to 4 bytes; the product is checked before anything is allocated.
    const int64_t stride = ((static_cast<int64_t>(width) * 24 + 31) / 32) * 4;
    const int64_t bytes = stride * height;
    m_memory.clear();
    m_rows.clear();
    m_data = nullptr;
    m_width = m_height = m_rowStride = m_rowPadding = m_size = 0;
    if (bytes > INT32_MAX) return false;
    try {
        m_memory.assign(static_cast<size_t>(bytes), 0);
        m_rows.resize(static_cast<size_t>(height));
    } catch (const std::bad_alloc&) {
        m_memory.clear();
        m_rows.clear();
        return false;
    }
    m_width = width;
    m_height = height;
    m_rowStride = static_cast<int>(stride);
    m_rowPadding = width % 4;
    m_size = static_cast<int>(bytes);
    m_data = m_memory.empty() ? nullptr : m_memory.data();
    for (int y = 0; y < height; ++y) m_rows[static_cast<size_t>(y)] = m_data + static_cast<size_t>(y) * stride;
    return true;
}

bool TPixelBuffer::AssignFrom(const TPixelBase& source)
{
    if (!Allocate(source.width(), source.height())) return false;
    if (m_size > 0) std::memcpy(m_data, source.data(), static_cast<size_t>(m_size));
    return true;
}

} // namespace kaptivus::pixels

namespace kaptivus::pixels {

bool TPixelBuffer::LoadFromBitmap(const Picture& picture)
{
    if (!Allocate(picture.width(), picture.height())) return false;
    if (isEmpty()) return true;
    const PictureRowReader reader(picture);
    for (int y = 0; y < m_height; ++y) reader.read(y, 0, m_width, row(y));
    return true;
}

void TPixelBuffer::DrawTo(Picture& picture, int x, int y) const
{
    if (isEmpty() || picture.isEmpty()) return;
    // 64-bit sums: a far-off position must clip, not wrap around.
    const int64_t left = std::max<int64_t>(x, 0);
    const int64_t top = std::max<int64_t>(y, 0);
    const int64_t right = std::min<int64_t>(int64_t{x} + m_width, picture.width());
    const int64_t bottom = std::min<int64_t>(int64_t{y} + m_height, picture.height());
    if (left >= right || top >= bottom) return;
    PictureRowWriter writer(picture);
    const int count = static_cast<int>(right - left);
    const int sourceX = static_cast<int>(left - x);
    for (int64_t py = top; py < bottom; ++py)
        writer.write(static_cast<int>(py), static_cast<int>(left), count, row(static_cast<int>(py - y)) + sourceX);
}

// Enlarging both ways: each source pixel is written nx times into a line from
// Trunc(j × fx) on, and the line copied into ny rows from Trunc(i × fy) on.
// The products are exact in double, as they are in the extended precision
// that the rounding rules were written for.
void TPixelBuffer::enlargeNearest(TPixelBuffer& destination, float fx, float fy) const
{
    const int nx = static_cast<int>(std::nearbyint(static_cast<double>(fx) + 0.5));
    const int ny = static_cast<int>(std::nearbyint(static_cast<double>(fy) + 0.5));
    const int dw = destination.width();
    const int dh = destination.height();
    std::vector<PixelBGR> line(static_cast<size_t>(dw));
    for (int i = 0; i < m_height; ++i) {
        const PixelBGR* source = row(i);
        for (int j = 0; j < m_width; ++j) {
            const int64_t start = static_cast<int64_t>(j * static_cast<double>(fx));
            const int64_t end = std::min<int64_t>(start + nx, dw);
            for (int64_t k = start; k < end; ++k) line[static_cast<size_t>(k)] = source[j];
        }
        const int64_t ty = static_cast<int64_t>(i * static_cast<double>(fy));
        const int64_t lastRow = std::min<int64_t>(ty + ny, dh);
        for (int64_t r = ty; r < lastRow; ++r)
            std::memcpy(destination.row(static_cast<int>(r)), line.data(), static_cast<size_t>(dw) * 3);
    }
}

void TPixelBuffer::ResizeNearest(TPixelBuffer& destination) const
{
    if (destination.isEmpty() || isEmpty()) return;
    if (destination.width() == m_width && destination.height() == m_height) {
        std::memcpy(destination.data(), m_data, static_cast<size_t>(m_size));
        return;
    }
    const float fx = static_cast<float>(destination.width()) / static_cast<float>(m_width);
    const float fy = static_cast<float>(destination.height()) / static_cast<float>(m_height);
    if (fx >= 1.0f && fy >= 1.0f) {
        enlargeNearest(destination, fx, fy);
        return;
    }
    // 16.16 fixed-point steps; 64 bits so that sources of 32768 pixels or more
    // do not overflow.
    const int64_t xs = (int64_t{m_width} << 16) / destination.width();
    const int64_t ys = (int64_t{m_height} << 16) / destination.height();
    std::vector<int> columns(static_cast<size_t>(destination.width()));
    for (int x = 0; x < destination.width(); ++x) columns[static_cast<size_t>(x)] = static_cast<int>((x * xs) >> 16);
    for (int y = 0; y < destination.height(); ++y) {
        const PixelBGR* source = row(static_cast<int>((y * ys) >> 16));
        PixelBGR* target = destination.row(y);
        for (int x = 0; x < destination.width(); ++x) target[x] = source[columns[static_cast<size_t>(x)]];
    }
}

// One destination row of the bilinear resize. Weights are 15-bit fixed point;
// the largest sum, 255 × 32768, fits 32 bits.
void TPixelBuffer::bilinearRow(const uint8_t* upper, const uint8_t* lower, uint32_t wy, const uint32_t* offsets,
                               const uint32_t* wxs, uint8_t* out, int count)
{
    const uint32_t invWy = 32768u - wy;
    for (int x = 0; x < count; ++x, out += 3) {
        const uint32_t wx = wxs[x];
        const uint32_t tr = (wx * invWy) >> 15;
        const uint32_t tl = invWy - tr;
        const uint32_t br = (wx * wy) >> 15;
        const uint32_t bl = wy - br;
        const uint8_t* u = upper + offsets[x];
        const uint8_t* l = lower + offsets[x];
        out[0] = static_cast<uint8_t>((u[0] * tl + u[3] * tr + l[0] * bl + l[3] * br) >> 15);
        out[1] = static_cast<uint8_t>((u[1] * tl + u[4] * tr + l[1] * bl + l[4] * br) >> 15);
        out[2] = static_cast<uint8_t>((u[2] * tl + u[5] * tr + l[2] * bl + l[5] * br) >> 15);
    }
}

void TPixelBuffer::ResizeBilinear(TPixelBuffer& destination) const
{
    if (destination.width() < 1 || destination.height() < 1 || isEmpty()) return;
    if (m_width == 1) {
        ResizeNearest(destination);
        return;
    }
    if (destination.width() == m_width && destination.height() == m_height) {
        std::memcpy(destination.data(), m_data, static_cast<size_t>(m_size));
        return;
    }
    // The steps are as in 32-bit arithmetic; the products are taken in 64 bits
    // so that very wide sources cannot overflow them.
    const uint64_t xs = (static_cast<uint64_t>(m_width - 1) << 15) / static_cast<uint64_t>(destination.width());
    const uint64_t ys = (static_cast<uint64_t>(m_height - 1) << 15) / static_cast<uint64_t>(destination.height());
    const int dw = destination.width();
    std::vector<uint32_t> offsets(static_cast<size_t>(dw));
    std::vector<uint32_t> wxs(static_cast<size_t>(dw));
    for (int x = 0; x < dw; ++x) {
        const uint64_t fx = static_cast<uint64_t>(x) * xs;
        offsets[static_cast<size_t>(x)] = static_cast<uint32_t>((fx >> 15) * 3);
        wxs[static_cast<size_t>(x)] = static_cast<uint32_t>(fx & 32767u);
    }
    for (int y = 0; y < destination.height(); ++y) {
        const uint64_t fy = static_cast<uint64_t>(y) * ys;
        const int r = static_cast<int>(fy >> 15);
        const int lower = m_height == 1 ? r : r + 1;
        bilinearRow(rowBytes(r), rowBytes(lower), static_cast<uint32_t>(fy & 32767u), offsets.data(), wxs.data(),
                    destination.rowBytes(y), dw);
    }
}

} // namespace kaptivus::pixels
