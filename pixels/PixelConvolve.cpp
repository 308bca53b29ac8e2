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
#include <cstdlib>
#include <vector>

namespace kaptivus::pixels {

namespace {

// Division truncating towards zero by a constant, as a multiply and a shift:
// floor(n / d) = (n × m) >> s for 0 <= n < 2^31 with m = ceil(2^s / d) and
// s = 31 + ceil(log2 d). Sums stay below 2^27 in magnitude (nine weights of at
// most 2^15 times 255), well inside that range.
class TruncatingDivider {
public:
    explicit TruncatingDivider(int divisor)
    {
        m_negativeMask = divisor < 0 ? -1 : 0;
        const uint64_t d = static_cast<uint64_t>(std::llabs(divisor));
        int log2d = 0;
        while ((uint64_t{1} << log2d) < d) ++log2d;
        m_shift = 31 + log2d;
        m_multiplier = ((uint64_t{1} << m_shift) - 1) / d + 1;
    }

    // Branch-free: the sign of a sharpened sum is hard to predict at edges.
    int operator()(int n) const
    {
        const int sign = n >> 31;
        const auto magnitude = static_cast<uint64_t>(static_cast<uint32_t>((n ^ sign) - sign));
        const auto quotient = static_cast<int>((magnitude * m_multiplier) >> m_shift);
        const int flip = sign ^ m_negativeMask;
        return (quotient ^ flip) - flip;
    }

private:
    uint64_t m_multiplier = 1;
    int m_shift = 0;
    int m_negativeMask = 0;
};

struct Convolution {
    int k[9];
    TruncatingDivider divide;
};

// The plain walk for one row: reads its neighbours live from the buffer.
void ConvolveRowLive(TPixelBase& buffer, int y, const Convolution& conv)
{
    const int width = buffer.width();
    const uint8_t* rows[3] = {buffer.rowBytes(std::max(y - 1, 0)), buffer.rowBytes(y),
                              buffer.rowBytes(std::min(y + 1, buffer.height() - 1))};
    uint8_t* current = buffer.rowBytes(y);
    for (int x = 0; x < width; ++x) {
        const int columns[3] = {3 * std::max(x - 1, 0), 3 * x, 3 * std::min(x + 1, width - 1)};
        for (int c = 0; c < 3; ++c) {
            int sum = 0;
            for (int j = 0; j < 3; ++j)
                for (int i = 0; i < 3; ++i) sum += conv.k[3 * j + i] * rows[i][columns[j] + c];
            current[3 * x + c] = static_cast<uint8_t>(ClampByte(conv.divide(sum)));
        }
    }
}

// Everything but the left neighbour's term, for byte positions 3 .. count - 1
// of an inner row: above is final, current and below are unchanged.
void SumKnownTerms(const int* k, const uint8_t* __restrict above, const uint8_t* __restrict current,
                   const uint8_t* __restrict below, int count, int* __restrict partial)
{
    for (int i = 3; i + 3 < count; ++i)
        partial[i] = k[0] * above[i - 3] + k[2] * below[i - 3] + k[3] * above[i] + k[4] * current[i] +
                     k[5] * below[i] + k[6] * above[i + 3] + k[7] * current[i + 3] + k[8] * below[i + 3];
    // The last pixel's right neighbour is itself.
    for (int i = std::max(3, count - 3); i < count; ++i)
        partial[i] = k[0] * above[i - 3] + k[2] * below[i - 3] + (k[3] + k[6]) * above[i] +
                     (k[4] + k[7]) * current[i] + (k[5] + k[8]) * below[i];
}

void ConvolveInnerRow(TPixelBase& buffer, int y, const Convolution& conv, std::vector<int>& partial)
{
    const int count = buffer.width() * 3;
    if (count < 6) {
        ConvolveRowLive(buffer, y, conv);
        return;
    }
    uint8_t* current = buffer.rowBytes(y);
    SumKnownTerms(conv.k, buffer.rowBytes(y - 1), current, buffer.rowBytes(y + 1), count, partial.data());
    // The first pixel's left neighbour is itself, still unchanged: the live walk
    // of the first pixel alone is exact. Its new value then feeds the next one.
    int newValue[3];
    const uint8_t* above = buffer.rowBytes(y - 1);
    const uint8_t* below = buffer.rowBytes(y + 1);
    for (int c = 0; c < 3; ++c) {
        const int sum = (conv.k[0] + conv.k[3]) * above[c] + (conv.k[1] + conv.k[4]) * current[c] +
                        (conv.k[2] + conv.k[5]) * below[c] + conv.k[6] * above[3 + c] + conv.k[7] * current[3 + c] +
                        conv.k[8] * below[3 + c];
        newValue[c] = ClampByte(conv.divide(sum));
    }
    for (int c = 0; c < 3; ++c) current[c] = static_cast<uint8_t>(newValue[c]);
    const int left = conv.k[1];
    for (int i = 3; i < count; i += 3) {
        for (int c = 0; c < 3; ++c) {
            newValue[c] = ClampByte(conv.divide(partial[static_cast<size_t>(i + c)] + left * newValue[c]));
            current[i + c] = static_cast<uint8_t>(newValue[c]);
        }
    }
}

} // namespace

void Convolve3x3(TPixelBase& buffer, const Kernel3x3& kernel)
{
    if (buffer.isEmpty()) return;
    int divisor = 0;
    for (const int16_t w : kernel) divisor += w;
    Convolution conv{{}, TruncatingDivider(divisor == 0 ? 1 : divisor)};
    std::copy(kernel.begin(), kernel.end(), conv.k);
    const int height = buffer.height();
    std::vector<int> partial(static_cast<size_t>(buffer.width()) * 3);
    ConvolveRowLive(buffer, 0, conv);
    for (int y = 1; y + 1 < height; ++y) ConvolveInnerRow(buffer, y, conv, partial);
    if (height > 1) ConvolveRowLive(buffer, height - 1, conv);
}

} // namespace kaptivus::pixels
