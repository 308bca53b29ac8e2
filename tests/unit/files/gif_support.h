// Helpers of the GIF tests: pictures built pixel by pixel and outside programs run.
#pragma once

#include "codec_test_support.h"
#include "files/Codec.h"
#include "files/GifImage.h"

#include <algorithm>
#include <string>
#include <vector>

namespace kaptivus::files::test {

inline pixels::Color Rgb(int r, int g, int b)
{
    return static_cast<pixels::Color>(r | g << 8 | b << 16);
}

// A 24-bit picture whose pixel i (row by row) is colours[i % size].
inline pixels::Picture TrueColourPicture(int width, int height, const std::vector<pixels::Color>& colours)
{
    pixels::Picture picture = pixels::Picture::create(width, height, pixels::PixelFormat::Bits24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.setPixel(x, y, pixels::ColorToPixel(colours[static_cast<size_t>(y * width + x) % colours.size()]));
    return picture;
}

// Standard output of a command made of our own temp paths and fixed words.
inline std::string Run(const std::string& command, bool* ok = nullptr)
{
    std::vector<uint8_t> output;
    const bool done = testsupport::RunCommand(command + " 2>/dev/null", output);
    if (ok) *ok = done;
    return { output.begin(), output.end() };
}

inline std::vector<uint8_t> GifBytes(const GifImage& image)
{
    MemorySink sink;
    if (!WriteGifImage(image, sink)) return {};
    return sink.bytes;
}

// The 24-bit colour of every pixel, rows from the top.
inline std::vector<pixels::Color> PixelColours(const pixels::Picture& picture)
{
    std::vector<pixels::Color> out;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const pixels::PixelBGR p = picture.pixel(x, y);
            out.push_back(Rgb(p.r, p.g, p.b));
        }
    return out;
}

// A plain reading of the GIF layout and a textbook LZW decoder, kept apart from
// the codec so the tests can check the writer's bytes field by field.
struct ParsedGif {
    std::string header;
    uint8_t screenFlags = 0;
    bool control = false;
    uint8_t controlFlags = 0;
    int transparentIndex = -1;
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
    if (!need(13)) return g;
    g.header.assign(b.begin(), b.begin() + 6);
    g.screenFlags = b[10];
    at = 13;
    if (need(8) && b[at] == 0x21 && b[at + 1] == 0xF9) {
        g.control = true;
        g.controlFlags = b[at + 3];
        g.transparentIndex = b[at + 6];
        at += 8;
    }
    if (!need(10) || b[at] != 0x2C) return g;
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
        g.data.insert(
            g.data.end(), b.begin() + static_cast<long>(at) + 1, b.begin() + static_cast<long>(at) + 1 + size);
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
