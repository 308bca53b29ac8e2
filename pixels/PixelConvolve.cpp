// The 3×3 convolution behind sharpening. No Qt, no X11.
//
// The rule is sequential: each pixel is written at once, so its left and upper
// neighbours contribute their new values. Rows above are final by the time a
// row is processed, and the row below is still untouched, so for an inner row
// everything but the left neighbour's term is known in advance: that part is
// summed for the whole row in one vectorisable pass, and only the left term
// stays in the sequential loop. The first and last rows, whose clamped
// neighbourhood folds onto the row itself, take the plain per-pixel walk.
#pragma GCC optimize("O3")

#include "pixels/PixelEffects.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace kaptivus::pixels {

namespace {

// ClampByte(n div d), division truncating towards zero, for a positive d. For
// a negative n both truncation and floor give at most 0, so floor serves. Floor
// division of a non-negative v < 2^29 by a constant is a multiply and a shift:
// floor(v / d) = (v × m) >> s with m = ceil(2^s / d), s = 29 + ceil(log2 d).
// Sums stay below 2^27 in magnitude (nine weights of at most 2^15 times 255),
// so they are first lifted by a multiple of d that makes them non-negative,
// and the quotient is lowered by the same multiple afterwards. No branches:
// the sign of a sharpened sum is hard to predict at edges.
class ClampedQuotient {
public:
    explicit ClampedQuotient(int divisor)
    {
        const auto d = static_cast<uint64_t>(divisor);
        int log2d = 0;
        while ((uint64_t { 1 } << log2d) < d)
            ++log2d;
        m_shift = 29 + log2d;
        m_multiplier = ((uint64_t { 1 } << m_shift) - 1) / d + 1;
        m_lift = static_cast<int>(((uint64_t { 1 } << 27) + d - 1) / d);
        m_bias = m_lift * divisor;
    }

    // What to add to a sum before OfLifted.
    int bias() const { return m_bias; }

    int OfLifted(int lifted) const
    {
        const auto quotient = static_cast<int>((static_cast<uint64_t>(lifted) * m_multiplier) >> m_shift);
        return std::clamp(quotient - m_lift, 0, 255);
    }

    int operator()(int sum) const { return OfLifted(sum + m_bias); }

private:
    uint64_t m_multiplier = 1;
    int m_shift = 0;
    int m_lift = 0;
    int m_bias = 0;
};

// Weights and divisor with the divisor's sign moved into the weights:
// n div -d = (-n) div d.
struct Convolution {
    int k[9];
    ClampedQuotient divide;
};

// The plain walk for one row: reads its neighbours live from the buffer.
void ConvolveRowLive(TPixelBase& buffer, int y, const Convolution& conv)
{
    const int width = buffer.width();
    const uint8_t* rows[3] = { buffer.rowBytes(std::max(y - 1, 0)), buffer.rowBytes(y),
        buffer.rowBytes(std::min(y + 1, buffer.height() - 1)) };
    uint8_t* current = buffer.rowBytes(y);
    for (int x = 0; x < width; ++x) {
        const int columns[3] = { 3 * std::max(x - 1, 0), 3 * x, 3 * std::min(x + 1, width - 1) };
        for (int c = 0; c < 3; ++c) {
            int sum = 0;
            for (int j = 0; j < 3; ++j)
                for (int i = 0; i < 3; ++i)
                    sum += conv.k[3 * j + i] * rows[i][columns[j] + c];
            current[3 * x + c] = static_cast<uint8_t>(conv.divide(sum));
        }
    }
}

// Everything but the left neighbour's term, plus the divider's bias, for byte
// positions 3 .. count - 1 of an inner row: above is final, current and below
// are unchanged.
void SumKnownTerms(const int* k, int bias, const uint8_t* __restrict above, const uint8_t* __restrict current,
    const uint8_t* __restrict below, int count, int* __restrict partial)
{
    for (int i = 3; i + 3 < count; ++i)
        partial[i] = bias + k[0] * above[i - 3] + k[2] * below[i - 3] + k[3] * above[i] + k[4] * current[i]
            + k[5] * below[i] + k[6] * above[i + 3] + k[7] * current[i + 3] + k[8] * below[i + 3];
    // The last pixel's right neighbour is itself.
    for (int i = std::max(3, count - 3); i < count; ++i)
        partial[i] = bias + k[0] * above[i - 3] + k[2] * below[i - 3] + (k[3] + k[6]) * above[i]
            + (k[4] + k[7]) * current[i] + (k[5] + k[8]) * below[i];
}

// The sequential part of an inner row from its second pixel on: each value is
// its known terms plus the left weight times the left pixel's new value. The
// divider is a local copy: byte stores could otherwise alias its fields and
// force a reload on every pixel.
void ChainRow(uint8_t* __restrict current, const int* __restrict partial, int count, int left,
    const ClampedQuotient divide, const int first[3])
{
    int b = first[0];
    int g = first[1];
    int r = first[2];
    for (int i = 3; i < count; i += 3) {
        b = divide.OfLifted(partial[i] + left * b);
        g = divide.OfLifted(partial[i + 1] + left * g);
        r = divide.OfLifted(partial[i + 2] + left * r);
        current[i] = static_cast<uint8_t>(b);
        current[i + 1] = static_cast<uint8_t>(g);
        current[i + 2] = static_cast<uint8_t>(r);
    }
}

void ConvolveInnerRow(TPixelBase& buffer, int y, const Convolution& conv, std::vector<int>& partial)
{
    const int count = buffer.width() * 3;
    if (count < 6) {
        ConvolveRowLive(buffer, y, conv);
        return;
    }
    uint8_t* current = buffer.rowBytes(y);
    const uint8_t* above = buffer.rowBytes(y - 1);
    const uint8_t* below = buffer.rowBytes(y + 1);
    const int* k = conv.k;
    SumKnownTerms(k, conv.divide.bias(), above, current, below, count, partial.data());
    // The first pixel's left neighbour is itself, still unchanged: the live walk
    // of the first pixel alone is exact. Its new value then feeds the next one.
    int first[3];
    for (int c = 0; c < 3; ++c) {
        const int sum = (k[0] + k[3]) * above[c] + (k[1] + k[4]) * current[c] + (k[2] + k[5]) * below[c]
            + k[6] * above[3 + c] + k[7] * current[3 + c] + k[8] * below[3 + c];
        first[c] = conv.divide(sum);
    }
    for (int c = 0; c < 3; ++c)
        current[c] = static_cast<uint8_t>(first[c]);
    ChainRow(current, partial.data(), count, k[1], conv.divide, first);
}

} // namespace

void Convolve3x3(TPixelBase& buffer, const Kernel3x3& kernel)
{
    if (buffer.isEmpty()) return;
    int divisor = 0;
    for (const int16_t w : kernel)
        divisor += w;
    if (divisor == 0) divisor = 1;
    const int sign = divisor < 0 ? -1 : 1;
    Convolution conv { {}, ClampedQuotient(sign * divisor) };
    for (size_t i = 0; i < kernel.size(); ++i)
        conv.k[i] = sign * kernel[i];
    const int height = buffer.height();
    std::vector<int> partial(static_cast<size_t>(buffer.width()) * 3);
    ConvolveRowLive(buffer, 0, conv);
    for (int y = 1; y + 1 < height; ++y)
        ConvolveInnerRow(buffer, y, conv, partial);
    if (height > 1) ConvolveRowLive(buffer, height - 1, conv);
}

} // namespace kaptivus::pixels
