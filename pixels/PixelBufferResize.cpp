// The two resizes of the pixel buffer. Both follow fixed rounding rules to
// the byte; the SSE2 path of the bilinear one computes the very same sums.
#include "pixels/PixelBuffer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace kaptivus::pixels {

namespace {

// Enlarging both ways: each source pixel is written nx times into a line from
// Trunc(j × fx) on, and the line copied into ny rows from Trunc(i × fy) on.
// The products are exact in double, as they are in the extended precision
// that the rounding rules were written for.
void EnlargeNearest(const TPixelBuffer& source, TPixelBuffer& destination, float fx, float fy)
{
    const int nx = static_cast<int>(std::nearbyint(static_cast<double>(fx) + 0.5));
    const int ny = static_cast<int>(std::nearbyint(static_cast<double>(fy) + 0.5));
    const int dw = destination.width();
    const int dh = destination.height();
    std::vector<PixelBGR> line(static_cast<size_t>(dw));
    for (int i = 0; i < source.height(); ++i) {
        const PixelBGR* pixels = source.row(i);
        for (int j = 0; j < source.width(); ++j) {
            const int64_t start = static_cast<int64_t>(j * static_cast<double>(fx));
            const int64_t end = std::min<int64_t>(start + nx, dw);
            for (int64_t k = start; k < end; ++k)
                line[static_cast<size_t>(k)] = pixels[j];
        }
        const int64_t ty = static_cast<int64_t>(i * static_cast<double>(fy));
        const int64_t lastRow = std::min<int64_t>(ty + ny, dh);
        for (int64_t r = ty; r < lastRow; ++r)
            std::memcpy(destination.row(static_cast<int>(r)), line.data(), static_cast<size_t>(dw) * 3);
    }
}

// Where each destination column samples: byte offset of the left source pixel
// and the 15-bit fraction towards the right one.
struct BilinearColumns {
    std::vector<uint32_t> offsets;
    std::vector<uint16_t> fractions; // below 32768
};

BilinearColumns ColumnsFor(int sourceWidth, int destinationWidth)
{
    // The step is as in 32-bit arithmetic; the products are taken in 64 bits
    // so that very wide sources cannot overflow them.
    const uint64_t xs = (static_cast<uint64_t>(sourceWidth - 1) << 15) / static_cast<uint64_t>(destinationWidth);
    BilinearColumns columns;
    columns.offsets.resize(static_cast<size_t>(destinationWidth));
    columns.fractions.resize(static_cast<size_t>(destinationWidth));
    for (int x = 0; x < destinationWidth; ++x) {
        const uint64_t fx = static_cast<uint64_t>(x) * xs;
        columns.offsets[static_cast<size_t>(x)] = static_cast<uint32_t>((fx >> 15) * 3);
        columns.fractions[static_cast<size_t>(x)] = static_cast<uint16_t>(fx & 32767u);
    }
    return columns;
}

// One destination pixel. Weights are 15-bit fixed point; the largest sum,
// 255 × 32768, fits 32 bits.
inline void BilinearPixel(const uint8_t* u, const uint8_t* l, uint32_t wx, uint32_t wy, uint8_t* out)
{
    const uint32_t invWy = 32768u - wy;
    const uint32_t tr = (wx * invWy) >> 15;
    const uint32_t tl = invWy - tr;
    const uint32_t br = (wx * wy) >> 15;
    const uint32_t bl = wy - br;
    // All source bytes are read before the first store, which could alias
    // them as far as the compiler knows.
    const uint32_t u0 = u[0], u1 = u[1], u2 = u[2], u3 = u[3], u4 = u[4], u5 = u[5];
    const uint32_t l0 = l[0], l1 = l[1], l2 = l[2], l3 = l[3], l4 = l[4], l5 = l[5];
    out[0] = static_cast<uint8_t>((u0 * tl + u3 * tr + l0 * bl + l3 * br) >> 15);
    out[1] = static_cast<uint8_t>((u1 * tl + u4 * tr + l1 * bl + l4 * br) >> 15);
    out[2] = static_cast<uint8_t>((u2 * tl + u5 * tr + l2 * bl + l5 * br) >> 15);
}

#ifndef __SSE2__
void BilinearRowScalar(
    const uint8_t* upper, const uint8_t* lower, uint32_t wy, const BilinearColumns& columns, uint8_t* out, int count)
{
    for (int x = 0; x < count; ++x)
        BilinearPixel(upper + columns.offsets[static_cast<size_t>(x)], lower + columns.offsets[static_cast<size_t>(x)],
            columns.fractions[static_cast<size_t>(x)], wy, out + 3 * x);
}
#endif

#ifdef __SSE2__
// Two neighbouring source pixels as 16-bit lanes for pmaddwd: b, b', g, g',
// r, r', 0, 0. Reads exactly their six bytes, never past the row.
inline __m128i LoadPair(const uint8_t* p)
{
    int32_t first = 0;
    uint16_t last = 0;
    std::memcpy(&first, p, 4);
    std::memcpy(&last, p + 4, 2);
    const __m128i bytes = _mm_unpacklo_epi8(_mm_insert_epi16(_mm_cvtsi32_si128(first), last, 2), _mm_setzero_si128());
    return _mm_unpacklo_epi16(bytes, _mm_srli_si128(bytes, 6));
}

// A source row read as pairs straight from its bytes.
struct DirectPairs {
    const uint8_t* row;
    __m128i at(uint32_t offset) const { return LoadPair(row + offset); }
};

// A source row with every column's pair built once. Enlarging, each pair is
// used by several destination pixels and rows, so building it once pays.
class PairedRow {
public:
    explicit PairedRow(int width)
        : m_pairs(static_cast<size_t>(std::max(width - 1, 0)))
    {
    }

    void build(const uint8_t* row)
    {
        for (size_t c = 0; c < m_pairs.size(); ++c)
            m_pairs[c].lanes = LoadPair(row + 3 * c);
    }
    // Indexed by the left pixel's byte offset (3 × column).
    __m128i at(uint32_t offset) const { return m_pairs[offset / 3].lanes; }

private:
    struct Pair {
        __m128i lanes;
    };
    std::vector<Pair> m_pairs;
};

// (a × b) >> 15 in each 16-bit lane, for products below 2^31.
inline __m128i MulShift15(__m128i a, __m128i b)
{
    return _mm_or_si128(_mm_slli_epi16(_mm_mulhi_epu16(a, b), 1), _mm_srli_epi16(_mm_mullo_epi16(a, b), 15));
}

// One pixel from its two pairs and its weights (top left | top right << 16,
// bottom left | bottom right << 16, in every 32-bit lane). Four bytes are
// stored: the fourth is the next pixel's first, written right after.
inline void StorePair(__m128i upper, __m128i lower, __m128i topWeights, __m128i bottomWeights, uint8_t* out)
{
    const __m128i sum = _mm_add_epi32(_mm_madd_epi16(upper, topWeights), _mm_madd_epi16(lower, bottomWeights));
    const __m128i scaled = _mm_srli_epi32(sum, 15);
    const int value = _mm_cvtsi128_si32(_mm_packus_epi16(_mm_packs_epi32(scaled, scaled), scaled));
    std::memcpy(out, &value, 4);
}

// The same sums as BilinearPixel, three channels at once and the weights of
// four pixels at once. pmaddwd takes signed 16-bit weights, and the top left
// weight reaches 32768 only when both fractions are 0: rows with wy = 0 go the
// scalar way. So does the last pixel of a row, whose 4-byte store would reach
// into the padding.
template <typename Pairs>
void BilinearRowSse2(const Pairs& upper, const Pairs& lower, const uint8_t* upperBytes, const uint8_t* lowerBytes,
    uint32_t wy, const BilinearColumns& columns, uint8_t* out, int count)
{
    int x = 0;
    if (wy != 0) {
        const __m128i invWy = _mm_set1_epi16(static_cast<int16_t>(32768u - wy));
        const __m128i wyLanes = _mm_set1_epi16(static_cast<int16_t>(wy));
        for (; x + 4 < count; x += 4) {
            // Four fractions; the upper half of the register is zero and ignored.
            const __m128i wx = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(columns.fractions.data() + x));
            const __m128i tr = MulShift15(wx, invWy);
            const __m128i br = MulShift15(wx, wyLanes);
            const __m128i top = _mm_unpacklo_epi16(_mm_sub_epi16(invWy, tr), tr);
            const __m128i bottom = _mm_unpacklo_epi16(_mm_sub_epi16(wyLanes, br), br);
            const uint32_t* offsets = columns.offsets.data() + x;
            StorePair(upper.at(offsets[0]), lower.at(offsets[0]), _mm_shuffle_epi32(top, 0x00),
                _mm_shuffle_epi32(bottom, 0x00), out + 3 * x);
            StorePair(upper.at(offsets[1]), lower.at(offsets[1]), _mm_shuffle_epi32(top, 0x55),
                _mm_shuffle_epi32(bottom, 0x55), out + 3 * x + 3);
            StorePair(upper.at(offsets[2]), lower.at(offsets[2]), _mm_shuffle_epi32(top, 0xAA),
                _mm_shuffle_epi32(bottom, 0xAA), out + 3 * x + 6);
            StorePair(upper.at(offsets[3]), lower.at(offsets[3]), _mm_shuffle_epi32(top, 0xFF),
                _mm_shuffle_epi32(bottom, 0xFF), out + 3 * x + 9);
        }
    }
    for (; x < count; ++x) {
        const size_t i = static_cast<size_t>(x);
        BilinearPixel(
            upperBytes + columns.offsets[i], lowerBytes + columns.offsets[i], columns.fractions[i], wy, out + 3 * i);
    }
}

// Keeps the pairs of the two source rows a destination row samples.
class PairedRows {
public:
    explicit PairedRows(const TPixelBuffer& source)
        : m_source(source)
        , m_rows { PairedRow(source.width()), PairedRow(source.width()) }
    {
    }

    const PairedRow& operator()(int r)
    {
        // Rows r and r + 1 always land in different slots.
        const int slot = r & 1;
        if (m_rowOf[slot] != r) {
            m_rows[slot].build(m_source.rowBytes(r));
            m_rowOf[slot] = r;
        }
        return m_rows[slot];
    }

private:
    const TPixelBuffer& m_source;
    PairedRow m_rows[2];
    int m_rowOf[2] = { -1, -1 };
};
#endif

} // namespace

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
        EnlargeNearest(*this, destination, fx, fy);
        return;
    }
    // 16.16 fixed-point steps; 64 bits so that sources of 32768 pixels or more
    // do not overflow.
    const int64_t xs = (int64_t { m_width } << 16) / destination.width();
    const int64_t ys = (int64_t { m_height } << 16) / destination.height();
    std::vector<int> columns(static_cast<size_t>(destination.width()));
    for (int x = 0; x < destination.width(); ++x)
        columns[static_cast<size_t>(x)] = static_cast<int>((x * xs) >> 16);
    for (int y = 0; y < destination.height(); ++y) {
        const PixelBGR* source = row(static_cast<int>((y * ys) >> 16));
        PixelBGR* target = destination.row(y);
        for (int x = 0; x < destination.width(); ++x)
            target[x] = source[columns[static_cast<size_t>(x)]];
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
    const uint64_t ys = (static_cast<uint64_t>(m_height - 1) << 15) / static_cast<uint64_t>(destination.height());
    const BilinearColumns columns = ColumnsFor(m_width, destination.width());
#ifdef __SSE2__
    // Shrinking, most pairs are used once: reading them straight is cheaper.
    const bool shareRows = destination.width() >= m_width;
    PairedRows paired(*this);
#endif
    for (int y = 0; y < destination.height(); ++y) {
        const uint64_t fy = static_cast<uint64_t>(y) * ys;
        const int r = static_cast<int>(fy >> 15);
        const int lower = m_height == 1 ? r : r + 1;
        const uint32_t wy = static_cast<uint32_t>(fy & 32767u);
#ifdef __SSE2__
        if (shareRows)
            BilinearRowSse2(paired(r), paired(lower), rowBytes(r), rowBytes(lower), wy, columns,
                destination.rowBytes(y), destination.width());
        else
            BilinearRowSse2(DirectPairs { rowBytes(r) }, DirectPairs { rowBytes(lower) }, rowBytes(r), rowBytes(lower),
                wy, columns, destination.rowBytes(y), destination.width());
#else
        BilinearRowScalar(rowBytes(r), rowBytes(lower), wy, columns, destination.rowBytes(y), destination.width());
#endif
    }
}

} // namespace kaptivus::pixels
