// The 24-bit pixel buffer: memory, row table, copies and the two resizes.
#include "pixels/PixelBuffer.h"

#include "pixels/Picture.h"
#include "pixels/PictureRows.h"

#include <algorithm>
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
    m_memory.clear();
    m_rows.clear();
    m_data = nullptr;
    m_width = m_height = m_rowStride = m_rowPadding = m_size = 0;
    // Compared by division: the product itself could overflow 64 bits.
    if (height > 0 && stride > INT32_MAX / height) return false;
    const int64_t bytes = stride * height;
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
    for (int y = 0; y < height; ++y)
        m_rows[static_cast<size_t>(y)] = m_data + static_cast<size_t>(y) * stride;
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
    for (int y = 0; y < m_height; ++y)
        reader.read(y, 0, m_width, row(y));
    return true;
}

void TPixelBuffer::DrawTo(Picture& picture, int x, int y) const
{
    if (isEmpty() || picture.isEmpty()) return;
    // 64-bit sums: a far-off position must clip, not wrap around.
    const int64_t left = std::max<int64_t>(x, 0);
    const int64_t top = std::max<int64_t>(y, 0);
    const int64_t right = std::min<int64_t>(int64_t { x } + m_width, picture.width());
    const int64_t bottom = std::min<int64_t>(int64_t { y } + m_height, picture.height());
    if (left >= right || top >= bottom) return;
    PictureRowWriter writer(picture);
    const int count = static_cast<int>(right - left);
    const int sourceX = static_cast<int>(left - x);
    for (int64_t py = top; py < bottom; ++py)
        writer.write(static_cast<int>(py), static_cast<int>(left), count, row(static_cast<int>(py - y)) + sourceX);
}

} // namespace kaptivus::pixels
