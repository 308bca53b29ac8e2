// Device-independent bitmaps: the info block (a bitmap header, bit-field
// masks, a colour table) and the bottom-up rows that BMP files, icons and
// metafile records carry. No Qt, no X11, no file I/O: writes to a ByteSink.
#pragma once

#include "files/Codec.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kaptivus::files {

// Compression codes of the bitmap header.
inline constexpr uint32_t kBiRgb = 0;
inline constexpr uint32_t kBiRle8 = 1;
inline constexpr uint32_t kBiRle4 = 2;
inline constexpr uint32_t kBiBitfields = 3;
inline constexpr uint32_t kBiJpeg = 4;
inline constexpr uint32_t kBiPng = 5;
inline constexpr uint32_t kBiAlphaBitfields = 6;

// Little-endian words of 1 to 4 bytes, as every field of these formats is stored.
inline uint32_t LoadLe(const uint8_t* p, size_t bytes)
{
    uint32_t word = 0;
    for (size_t i = 0; i < bytes; ++i)
        word |= static_cast<uint32_t>(p[i]) << (8 * i);
    return word;
}

inline void StoreLe(uint8_t* p, size_t bytes, uint32_t word)
{
    for (size_t i = 0; i < bytes; ++i)
        p[i] = static_cast<uint8_t>(word >> (8 * i));
}

// The header every bitmap we write carries, and the smallest whose fields
// readers of the later versions share.
inline constexpr uint32_t kDibInfoHeaderBytes = 40;

// 96 dots per inch, the resolution every file we write declares.
inline constexpr int32_t kPelsPerMeter96Dpi = 3780;

// What WriteDibInfo and WriteDibBits write for a picture, known before a
// byte is written (metafile records carry both counts up front).
struct DibSizes {
    uint32_t infoBytes = 0; // 40-byte header, bit-field masks, colour table
    uint32_t bitsBytes = 0; // bottom-up rows, each padded to 4 bytes
};

// Pictures of 1, 4, 8, 15, 16, 24 and 32 bits are written as they are; a
// device-default or custom picture is refused (convert it to 24 bits first),
// and so is an empty one.
CodecStatus MeasureDib(const pixels::Picture& picture, DibSizes& sizes);
CodecStatus WriteDibInfo(const pixels::Picture& picture, ByteSink& sink);
CodecStatus WriteDibBits(const pixels::Picture& picture, ByteSink& sink);
// A packed DIB: the info block directly followed by the rows.
CodecStatus WriteDib(const pixels::Picture& picture, ByteSink& sink);

// Any picture, device-default and custom ones too, as a 24-bit bitmap without
// a colour table, converted row by row as it is written: metafile records
// carry their bitmap so. The info block is the 40-byte header alone.
uint64_t Dib24BitsBytes(int width, int height);
CodecStatus WriteDib24Info(int width, int height, ByteSink& sink);
CodecStatus WriteDib24Bits(const pixels::Picture& picture, ByteSink& sink);

// An info block as read. Masks are set only for bit-field compression.
struct DibHeader {
    int width = 0;
    int height = 0; // always positive; topDown says which way the rows run
    bool topDown = false;
    int bitCount = 0;
    uint32_t compression = kBiRgb;
    uint32_t redMask = 0;
    uint32_t greenMask = 0;
    uint32_t blueMask = 0;
    std::vector<pixels::Color> palette;
    size_t tableStart = 0; // where the colour table starts: after the header and masks
    uint64_t tableEntries = 0; // entries the header declares, whether or not they are all there
    size_t entryBytes = 4; // bytes a table entry: 3 after the core header
    size_t infoBytes = 0; // header, masks and the colour table as stored
};

// Reads the info block at the start of info. A colour table is cut short
// where info ends (a BMP file's pixel offset); an indexed bitmap without a
// single colour is refused. Sizes are checked against limits.
CodecStatus ParseDibHeader(Bytes info, DibHeader& header, const ReadLimits& limits);
// Bytes of one stored row: width × bits, padded to 4 bytes.
int64_t DibStride(int64_t width, int bitCount);
// Decodes the rows of a parsed header: uncompressed, RLE8/RLE4 or bit-field.
ReadResult DecodeDibBits(const DibHeader& header, Bytes bits, const ReadLimits& limits);

// A picture from an info block and its rows, held apart (metafile records).
ReadResult ReadDib(Bytes info, Bytes bits, const ReadLimits& limits = {});
// A picture from a packed DIB: the rows follow the colour table.
ReadResult ReadDib(Bytes packed, const ReadLimits& limits = {});

} // namespace kaptivus::files
