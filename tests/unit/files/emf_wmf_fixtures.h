// Shared inputs of the metafile tests: pictures, little-endian readers and
// builders that put EMF and WMF files together record by record.
#pragma once

#include "files/Metafile.h"

#include <cstdint>
#include <initializer_list>
#include <random>
#include <string>
#include <vector>

namespace kaptivus::files::testing {

enum class Metafile { Emf, Wmf };

inline const char* Name(Metafile format)
{
    return format == Metafile::Emf ? "EMF" : "WMF";
}

inline std::vector<uint8_t> Write(Metafile format, const pixels::Picture& picture)
{
    MemorySink sink;
    const CodecStatus status = format == Metafile::Emf ? WriteEmf(picture, sink) : WriteWmf(picture, sink);
    return status ? sink.bytes : std::vector<uint8_t> {};
}

inline ReadResult Read(Metafile format, const std::vector<uint8_t>& bytes, const ReadLimits& limits = {})
{
    return format == Metafile::Emf ? ReadEmf(bytes, limits) : ReadWmf(bytes, limits);
}

// Every pixel a different colour in all three channels, deterministic.
inline pixels::Picture RandomPicture(int width, int height, uint32_t seed)
{
    pixels::Picture picture = pixels::Picture::create(width, height, pixels::PixelFormat::Bits24);
    std::mt19937 random(seed);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width * 3; ++x)
            picture.scanLine(y)[x] = uint8_t(random());
    return picture;
}

inline uint16_t Le16(const std::vector<uint8_t>& b, size_t at)
{
    return uint16_t(b.at(at) | b.at(at + 1) << 8);
}
inline uint32_t Le32(const std::vector<uint8_t>& b, size_t at)
{
    return Le16(b, at) | uint32_t(Le16(b, at + 2)) << 16;
}

inline void Put16(std::vector<uint8_t>& b, uint32_t v)
{
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
inline void Put32(std::vector<uint8_t>& b, uint32_t v)
{
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

// Colours as the files store them: 0x00BBGGRR.
inline constexpr uint32_t kRed = 0x0000FF;
inline constexpr uint32_t kGreen = 0x00FF00;
inline constexpr uint32_t kBlue = 0xFF0000;
inline constexpr uint32_t kYellow = 0x00FFFF;
inline constexpr uint32_t kWhite = 0xFFFFFF;

inline uint32_t ColourAt(const pixels::Picture& p, int x, int y)
{
    const pixels::PixelBGR c = p.pixel(x, y);
    return uint32_t(c.r) | uint32_t(c.g) << 8 | uint32_t(c.b) << 16;
}

// The 40-byte header of an uncompressed 24-bit bottom-up bitmap.
inline std::vector<uint8_t> Dib24Header(int width, int height)
{
    std::vector<uint8_t> h;
    for (uint32_t v : { 40u, uint32_t(width), uint32_t(height) })
        Put32(h, v);
    Put16(h, 1);
    Put16(h, 24);
    for (int i = 0; i < 6; ++i)
        Put32(h, 0);
    return h;
}

// A 2 × 2 bitmap, red and green on top, blue and yellow below, in one of the
// encodings a metafile may carry: info is the header with its colour table
// or masks, bits the rows.
struct Dib {
    std::vector<uint8_t> info;
    std::vector<uint8_t> bits;
    std::vector<uint8_t> packed() const
    {
        std::vector<uint8_t> all = info;
        all.insert(all.end(), bits.begin(), bits.end());
        return all;
    }
};

enum class DibKind { Rgb24, Rgb24TopDown, Indexed4, Indexed8, Rgb555, Rgb565Masks, Rgb32 };

inline Dib QuadrantDib(DibKind kind)
{
    const int bpp = kind == DibKind::Indexed4                     ? 4
        : kind == DibKind::Indexed8                               ? 8
        : kind == DibKind::Rgb555 || kind == DibKind::Rgb565Masks ? 16
        : kind == DibKind::Rgb32                                  ? 32
                                                                  : 24;
    const bool topDown = kind == DibKind::Rgb24TopDown;
    const uint32_t colours[4] = { kRed, kGreen, kBlue, kYellow }; // top-left, top-right, bottom-left, bottom-right
    Dib d;
    for (uint32_t v : { 40u, 2u, topDown ? uint32_t(-2) : 2u })
        Put32(d.info, v);
    Put16(d.info, 1);
    Put16(d.info, uint32_t(bpp));
    Put32(d.info, kind == DibKind::Rgb565Masks ? 3 : 0);
    for (uint32_t v : { 0u, 0u, 0u, bpp <= 8 ? 4u : 0u, 0u })
        Put32(d.info, v);
    if (bpp <= 8)
        for (uint32_t c : colours)
            Put32(d.info, (c >> 16 & 0xFF) | (c & 0xFF00) | (c & 0xFF) << 16); // blue, green, red, 0
    if (kind == DibKind::Rgb565Masks)
        for (uint32_t m : { 0xF800u, 0x07E0u, 0x001Fu })
            Put32(d.info, m);
    auto word16 = [kind](uint32_t c) {
        const uint32_t r = c & 0xFF, g = c >> 8 & 0xFF, b = c >> 16 & 0xFF;
        return kind == DibKind::Rgb565Masks ? (r >> 3) << 11 | (g >> 2) << 5 | b >> 3
                                            : (r >> 3) << 10 | (g >> 3) << 5 | b >> 3;
    };
    for (int stored = 0; stored < 2; ++stored) {
        const int row = topDown ? stored : 1 - stored;
        std::vector<uint8_t> line;
        for (int x = 0; x < 2; ++x) {
            const int index = row * 2 + x;
            const uint32_t c = colours[index];
            if (bpp == 4 && x == 0) line.push_back(uint8_t(index << 4 | (index + 1)));
            if (bpp == 8) line.push_back(uint8_t(index));
            if (bpp == 16) Put16(line, word16(c));
            if (bpp >= 24) {
                line.insert(line.end(), { uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c) });
                if (bpp == 32) line.push_back(0);
            }
        }
        line.resize((line.size() + 3) / 4 * 4, 0); // rows padded to 4 bytes
        d.bits.insert(d.bits.end(), line.begin(), line.end());
    }
    return d;
}

// An EMF file of a picture width × height pixels at 96 dpi; each record's
// parameters given as 32-bit words or raw bytes.
class EmfBuilder {
public:
    EmfBuilder(int width, int height)
        : m_width(width)
        , m_height(height)
    {
    }
    EmfBuilder& record(uint32_t type, std::initializer_list<uint32_t> words)
    {
        std::vector<uint8_t> params;
        for (uint32_t w : words)
            Put32(params, w);
        return record(type, params);
    }
    EmfBuilder& record(uint32_t type, const std::vector<uint8_t>& params)
    {
        Put32(m_records, type);
        Put32(m_records, uint32_t(8 + params.size()));
        m_records.insert(m_records.end(), params.begin(), params.end());
        return *this;
    }
    std::vector<uint8_t> bytes(bool withEnd = true) const
    {
        std::vector<uint8_t> b;
        const uint32_t total = 108 + uint32_t(m_records.size()) + (withEnd ? 20 : 0);
        Put32(b, 1);
        Put32(b, 108);
        for (int32_t v : { 0, 0, m_width - 1, m_height - 1 })
            Put32(b, uint32_t(v));
        for (int32_t v : { 0, 0, (m_width * 2540 + 48) / 96, (m_height * 2540 + 48) / 96 })
            Put32(b, uint32_t(v));
        for (uint32_t v : { 0x464D4520u, 0x10000u, total, 0u, 16u, 0u, 0u, 0u, 1920u, 1080u, 508u, 286u, 0u, 0u, 0u,
                 508000u, 285750u })
            Put32(b, v);
        b.insert(b.end(), m_records.begin(), m_records.end());
        if (withEnd)
            for (uint32_t v : { 14u, 20u, 0u, 16u, 20u })
                Put32(b, v);
        return b;
    }

private:
    int m_width;
    int m_height;
    std::vector<uint8_t> m_records;
};

// A WMF file, placeable when given a box; parameters as 16-bit words.
class WmfBuilder {
public:
    WmfBuilder& placeable(int16_t left, int16_t top, int16_t right, int16_t bottom, uint16_t unitsPerInch)
    {
        m_placeable.clear();
        Put32(m_placeable, 0x9AC6CDD7);
        for (int v : { 0, int(left), int(top), int(right), int(bottom), int(unitsPerInch), 0, 0 })
            Put16(m_placeable, uint32_t(v));
        uint16_t sum = 0;
        for (size_t i = 0; i < 20; i += 2)
            sum ^= Le16(m_placeable, i);
        Put16(m_placeable, sum);
        return *this;
    }
    WmfBuilder& record(uint16_t function, std::initializer_list<int> words)
    {
        std::vector<uint8_t> params;
        for (int w : words)
            Put16(params, uint32_t(w));
        return record(function, params);
    }
    WmfBuilder& record(uint16_t function, const std::vector<uint8_t>& params)
    {
        Put32(m_records, uint32_t(3 + (params.size() + 1) / 2));
        Put16(m_records, function);
        m_records.insert(m_records.end(), params.begin(), params.end());
        if (params.size() % 2) m_records.push_back(0);
        return *this;
    }
    std::vector<uint8_t> bytes(bool withEnd = true) const
    {
        std::vector<uint8_t> b = m_placeable;
        const uint32_t words = 9 + uint32_t(m_records.size() / 2) + (withEnd ? 3 : 0);
        for (uint32_t v : { 1u, 9u, 0x300u })
            Put16(b, v);
        Put32(b, words);
        Put16(b, 4);
        Put32(b, 0);
        Put16(b, 0);
        b.insert(b.end(), m_records.begin(), m_records.end());
        if (withEnd) {
            Put32(b, 3);
            Put16(b, 0);
        }
        return b;
    }

private:
    std::vector<uint8_t> m_placeable;
    std::vector<uint8_t> m_records;
};

// WMF record words for a colour: low word, then high word.
inline int Lo(uint32_t colour)
{
    return int(colour & 0xFFFF);
}
inline int Hi(uint32_t colour)
{
    return int(colour >> 16);
}

} // namespace kaptivus::files::testing
