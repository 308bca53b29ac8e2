// GIF's variable-width LZW: a hashed string table and a bit packer that cuts
// its output into counted sub-blocks.
#include "files/GifLzw.h"

#include <algorithm>

namespace kaptivus::files {

namespace {

constexpr int kMaxCodeBits = 12;
constexpr int kLastFreeCode = 4095; // reaching it clears the table
constexpr int kHashBits = 13;
constexpr uint32_t kHashSize = 1u << kHashBits; // twice the table, so probes stay short
constexpr uint32_t kEmpty = UINT32_MAX;

// Codes go out least significant bit first; every 255 bytes close a sub-block.
class BlockWriter {
public:
    explicit BlockWriter(std::vector<uint8_t>& out)
        : m_out(out)
    {
        openBlock();
    }

    void put(uint32_t code, int bits)
    {
        m_bits |= static_cast<uint64_t>(code) << m_count;
        m_count += bits;
        while (m_count >= 8) {
            putByte(static_cast<uint8_t>(m_bits));
            m_bits >>= 8;
            m_count -= 8;
        }
    }

    void finish()
    {
        if (m_count > 0) putByte(static_cast<uint8_t>(m_bits));
        m_bits = 0;
        m_count = 0;
        if (m_inBlock == 0)
            m_out.pop_back(); // an empty block would read as the terminator
        else
            m_out[m_blockStart] = static_cast<uint8_t>(m_inBlock);
        m_out.push_back(0);
    }

private:
    void openBlock()
    {
        m_blockStart = m_out.size();
        m_out.push_back(0);
        m_inBlock = 0;
    }

    void putByte(uint8_t byte)
    {
        m_out.push_back(byte);
        if (++m_inBlock == 255) {
            m_out[m_blockStart] = 255;
            openBlock();
        }
    }

    std::vector<uint8_t>& m_out;
    uint64_t m_bits = 0;
    int m_count = 0;
    size_t m_blockStart = 0;
    int m_inBlock = 0;
};

// String table: (prefix code, next index) → code, open addressing, with
// the last string each code led to kept beside it: a run of one index walks
// the same strings again and finds each there without hashing.
class StringTable {
public:
    StringTable()
        : m_keys(kHashSize, kEmpty)
        , m_codes(kHashSize, 0)
        , m_recentCode(kLastFreeCode + 1, 0)
        , m_recentIndex(kLastFreeCode + 1, 0)
    {
    }

    void clear()
    {
        std::fill(m_keys.begin(), m_keys.end(), kEmpty);
        std::fill(m_recentCode.begin(), m_recentCode.end(), 0);
    }

    // The code of prefix + index, or -1 with `slot` where it would go.
    int32_t lookup(uint32_t prefix, uint8_t index, uint32_t& slot)
    {
        // 0 is a literal's code, never a string's: it marks "nothing kept".
        if (m_recentCode[prefix] != 0 && m_recentIndex[prefix] == index) return m_recentCode[prefix];
        slot = find(prefix << 8 | index);
        if (!holds(slot)) return -1;
        remember(prefix, index, code(slot));
        return code(slot);
    }
    void add(uint32_t slot, uint32_t prefix, uint8_t index, uint16_t code)
    {
        put(slot, prefix << 8 | index, code);
        remember(prefix, index, code);
    }

private:
    void remember(uint32_t prefix, uint8_t index, uint16_t code)
    {
        m_recentCode[prefix] = code;
        m_recentIndex[prefix] = index;
    }

    // The slot of the key: holding it, or empty where it would go. The slot
    // is taken from the top bits of a multiplicative hash: prefix codes come
    // in sequence, and a hash that kept their low bits put them in one long
    // cluster, so that a screen's long runs made every probe walk it.
    uint32_t find(uint32_t key) const
    {
        uint32_t slot = (key * 0x9E3779B1u) >> (32 - kHashBits);
        while (m_keys[slot] != kEmpty && m_keys[slot] != key)
            slot = (slot + 1) & (kHashSize - 1);
        return slot;
    }
    bool holds(uint32_t slot) const { return m_keys[slot] != kEmpty; }
    uint16_t code(uint32_t slot) const { return m_codes[slot]; }
    void put(uint32_t slot, uint32_t key, uint16_t code)
    {
        m_keys[slot] = key;
        m_codes[slot] = code;
    }

    std::vector<uint32_t> m_keys;
    std::vector<uint16_t> m_codes;
    std::vector<uint16_t> m_recentCode;
    std::vector<uint8_t> m_recentIndex;
};

} // namespace

void AppendGifLzw(std::span<const uint8_t> indices, int minCodeSize, std::vector<uint8_t>& out)
{
    minCodeSize = std::clamp(minCodeSize, 2, 8);
    out.push_back(static_cast<uint8_t>(minCodeSize));
    BlockWriter writer(out);
    const uint32_t clearCode = 1u << minCodeSize;
    const uint32_t endCode = clearCode + 1;
    int codeBits = minCodeSize + 1;
    uint32_t nextCode = endCode + 1;
    writer.put(clearCode, codeBits);
    if (indices.empty()) {
        writer.put(endCode, codeBits);
        writer.finish();
        return;
    }
    StringTable table;
    uint32_t prefix = indices[0];
    for (size_t i = 1; i < indices.size(); ++i) {
        uint32_t slot = 0;
        if (const int32_t found = table.lookup(prefix, indices[i], slot); found >= 0) {
            prefix = static_cast<uint32_t>(found);
            continue;
        }
        writer.put(prefix, codeBits);
        table.add(slot, prefix, indices[i], static_cast<uint16_t>(nextCode));
        ++nextCode;
        // The decoder learns each code one step later, so widen only once
        // the code just made no longer fits.
        if (nextCode > (1u << codeBits) && codeBits < kMaxCodeBits) ++codeBits;
        if (nextCode == kLastFreeCode) {
            writer.put(clearCode, codeBits);
            table.clear();
            codeBits = minCodeSize + 1;
            nextCode = endCode + 1;
        }
        prefix = indices[i];
    }
    writer.put(prefix, codeBits);
    // The decoder adds one more string on reading that last code.
    if (nextCode + 1 > (1u << codeBits) && codeBits < kMaxCodeBits) ++codeBits;
    writer.put(endCode, codeBits);
    writer.finish();
}

} // namespace kaptivus::files
