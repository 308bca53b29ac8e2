// A plain reading of the GIF layout and a textbook LZW decoder, kept apart from
// the codec so the tests can check the writer's bytes field by field.
#pragma once

#include "pixels/PixelBase.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace kaptivus::files::test {

struct ParsedGif {
    std::string header;
    int screenWidth = 0;
    int screenHeight = 0;
    uint8_t screenFlags = 0;
    bool control = false;
    uint8_t controlFlags = 0;
    int transparentIndex = -1;
    int width = 0;
    int height = 0;
    uint8_t imageFlags = 0;
    std::vector<pixels::Color> table;
    int minCodeSize = 0;
    std::vector<int> blockSizes;
    std::vector<uint8_t> data; // the sub-blocks joined
    bool ok = false;
};

// Reads a file of one image with a local table, as the writer makes them.
inline ParsedGif ParseGif(const std::vector<uint8_t>& b)
{
    ParsedGif g;
    size_t at = 0;
    const auto need = [&](size_t n) { return at + n <= b.size(); };
    const auto word = [&](size_t i) { return b[i] | b[i + 1] << 8; };
    if (!need(13)) return g;
    g.header.assign(b.begin(), b.begin() + 6);
    g.screenWidth = word(6);
    g.screenHeight = word(8);
    g.screenFlags = b[10];
    at = 13;
    if (need(8) && b[at] == 0x21 && b[at + 1] == 0xF9) {
        g.control = true;
        g.controlFlags = b[at + 3];
        g.transparentIndex = b[at + 6];
        at += 8;
    }
    if (!need(10) || b[at] != 0x2C) return g;
    g.width = word(at + 5);
    g.height = word(at + 7);
    g.imageFlags = b[at + 9];
    at += 10;
    const size_t entries = size_t { 1 } << ((g.imageFlags & 7) + 1);
    if (!(g.imageFlags & 0x80) || !need(entries * 3 + 1)) return g;
    for (size_t i = 0; i < entries; ++i, at += 3)
        g.table.push_back(static_cast<pixels::Color>(b[at] | b[at + 1] << 8 | b[at + 2] << 16));
    g.minCodeSize = b[at++];
    while (need(1) && b[at] != 0) {
        const int size = b[at];
        if (!need(size_t(size) + 1)) return g;
        g.blockSizes.push_back(size);
        g.data.insert(g.data.end(), b.begin() + static_cast<long>(at) + 1, b.begin() + static_cast<long>(at) + 1 + size);
        at += size_t(size) + 1;
    }
    g.ok = need(2) && b[at] == 0 && b[at + 1] == 0x3B && at + 2 == b.size();
    return g;
}

struct LzwTrace {
    std::vector<uint8_t> indices;
    std::vector<int> clearsAt; // the decoder's next free code at each Clear
    int widestCode = 0;
    bool ended = false;
};

inline LzwTrace DecodeLzw(const std::vector<uint8_t>& data, int minCodeSize)
{
    LzwTrace trace;
    const int clear = 1 << minCodeSize;
    std::vector<int> prefix(4096, -1);
    std::vector<uint8_t> suffix(4096), first(4096);
    for (int i = 0; i < clear; ++i)
        suffix[size_t(i)] = first[size_t(i)] = static_cast<uint8_t>(i);
    int bits = minCodeSize + 1, next = clear + 2, previous = -1;
    size_t bitPos = 0;
    std::vector<uint8_t> string;
    while (bitPos + size_t(bits) <= data.size() * 8) {
        int code = 0;
        for (int i = 0; i < bits; ++i, ++bitPos)
            code |= ((data[bitPos / 8] >> (bitPos % 8)) & 1) << i;
        trace.widestCode = std::max(trace.widestCode, bits);
        if (code == clear) {
            trace.clearsAt.push_back(next);
            bits = minCodeSize + 1;
            next = clear + 2;
            previous = -1;
            continue;
        }
        if (code == clear + 1) {
            trace.ended = true;
            break;
        }
        if (code > next || (code == next && previous < 0)) break;
        if (previous >= 0 && next < 4096) {
            prefix[size_t(next)] = previous;
            first[size_t(next)] = first[size_t(previous)];
            suffix[size_t(next)] = code == next ? first[size_t(previous)] : first[size_t(code)];
            ++next;
        }
        string.clear();
        for (int c = code; c >= 0; c = prefix[size_t(c)])
            string.push_back(suffix[size_t(c)]);
        trace.indices.insert(trace.indices.end(), string.rbegin(), string.rend());
        previous = code;
        if (next == (1 << bits) && bits < 12) ++bits;
    }
    return trace;
}

} // namespace kaptivus::files::test
