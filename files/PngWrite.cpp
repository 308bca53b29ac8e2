// Writes PNG files: the rows are filtered here, compressed whole by libdeflate
// and framed into chunks here. No Qt, no X11, no file I/O: bytes go to a
// ByteSink.
//
// libdeflate compresses a screen-sized picture several times faster than
// zlib for a file of about the same size, but only from one buffer in memory,
// so the filtered rows are gathered first. Indexed pictures keep their own bit
// depth and table; everything else becomes 8-bit RGB, and a transparent
// picture's colour becomes the tRNS chunk.
#include "files/PngCodec.h"

#include "pixels/PictureRows.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <memory>
#include <new>
#include <vector>

#include <libdeflate.h>

namespace kaptivus::files {

namespace {

using pixels::Picture;
using pixels::PixelBGR;

constexpr uint8_t kFilterNone = 0;
constexpr uint8_t kFilterUp = 2;
constexpr uint8_t kColourTypeRgb = 2;
constexpr uint8_t kColourTypeIndexed = 3;
// Picture data goes out in IDAT chunks of at most this many bytes: readers
// that hold a whole chunk never need a buffer the size of the file.
constexpr size_t kIdatBytes = size_t { 1 } << 20;

void PutBigEndian32(uint8_t* out, uint32_t value)
{
    out[0] = static_cast<uint8_t>(value >> 24);
    out[1] = static_cast<uint8_t>(value >> 16);
    out[2] = static_cast<uint8_t>(value >> 8);
    out[3] = static_cast<uint8_t>(value);
}

// Length, type, data and the CRC of type and data.
bool WriteChunk(ByteSink& sink, const char (&type)[5], const uint8_t* data, size_t size)
{
    std::array<uint8_t, 8> head {};
    PutBigEndian32(head.data(), static_cast<uint32_t>(size));
    std::copy(type, type + 4, head.begin() + 4);
    uint32_t crc = libdeflate_crc32(0, head.data() + 4, 4);
    // Never with a null buffer: libdeflate then gives the initial value
    // instead of the running one, and an empty chunk's CRC would be 0.
    if (size != 0) crc = libdeflate_crc32(crc, data, size);
    std::array<uint8_t, 4> tail {};
    PutBigEndian32(tail.data(), crc);
    return sink.write(head.data(), head.size()) && (size == 0 || sink.write(data, size))
        && sink.write(tail.data(), tail.size());
}

// Bytes a pixel of a picture whose 24 or 32 bits hold 8-bit blue, green, red
// in that order; 0 for any other layout.
size_t PlainBgrStep(const Picture& picture)
{
    const bool bgr = picture.redMask() == 0xFF0000 && picture.greenMask() == 0x00FF00 && picture.blueMask() == 0x0000FF;
    if (!bgr || (picture.storageBits() != 24 && picture.storageBits() != 32)) return 0;
    return static_cast<size_t>(picture.storageBits() / 8);
}

// The highest index any pixel uses: the colour table written must reach it,
// since a PNG index beyond its table is an error for most readers.
unsigned HighestIndex(const Picture& picture)
{
    const int bpp = picture.storageBits();
    const int perByteLog2 = pixels::PixelsPerByteLog2(bpp);
    unsigned highest = 0;
    for (int y = 0; y < picture.height(); ++y) {
        const uint8_t* line = picture.scanLine(y);
        for (int x = 0; x < picture.width(); ++x)
            highest = std::max(highest, pixels::LoadIndex(line, x, bpp, perByteLog2));
    }
    return highest;
}

// PLTE: the picture's table as far as its indices reach (missing entries
// black, as the picture itself reads them). tRNS: the transparent colour's
// entries at alpha 0, the table cut after the last of them.
void BuildPalette(const Picture& picture, std::vector<uint8_t>& plte, std::vector<uint8_t>& trns)
{
    const size_t reachable = size_t { 1 } << picture.storageBits();
    const size_t own = std::min(picture.palette().size(), reachable);
    const size_t count = std::max(own, static_cast<size_t>(HighestIndex(picture)) + 1);
    plte.assign(count * 3, 0);
    for (size_t i = 0; i < own; ++i) {
        const PixelBGR c = pixels::ColorToPixel(picture.palette()[i]);
        plte[i * 3] = c.r;
        plte[i * 3 + 1] = c.g;
        plte[i * 3 + 2] = c.b;
    }
    trns.clear();
    if (!picture.transparent()) return;
    const PixelBGR key = pixels::ColorToPixel(picture.transparentColor());
    for (size_t i = 0; i < count; ++i) {
        if (plte[i * 3] == key.r && plte[i * 3 + 1] == key.g && plte[i * 3 + 2] == key.b) {
            trns.resize(i + 1, 255);
            trns[i] = 0;
        }
    }
}

// Indexed rows go out as stored, unfiltered: filters seldom help a table's
// indices. Padding bits past the last pixel go out as they are; readers
// ignore them.
void FilterIndexedRows(const Picture& picture, size_t rowBytes, uint8_t* out)
{
    for (int y = 0; y < picture.height(); ++y, out += rowBytes + 1) {
        out[0] = kFilterNone;
        std::copy_n(picture.scanLine(y), rowBytes, out + 1);
    }
}

// Direct-colour rows as red, green, blue, each the difference from the row
// above ("Up"): on screen pictures it gives files about as small as the best
// filter per row, at a fraction of the time spent choosing one.
void FilterRgbRows(const Picture& picture, uint8_t* out)
{
    const size_t width = static_cast<size_t>(picture.width());
    const size_t rowBytes = width * 3;
    if (const size_t step = PlainBgrStep(picture)) {
        // The capture's own layout: read in place, in one pass.
        std::vector<uint8_t> zeros(width * step, 0);
        for (int y = 0; y < picture.height(); ++y, out += rowBytes + 1) {
            const uint8_t* p = picture.scanLine(y);
            const uint8_t* q = y > 0 ? picture.scanLine(y - 1) : zeros.data();
            out[0] = kFilterUp;
            uint8_t* o = out + 1;
            for (size_t x = 0; x < width; ++x, p += step, q += step, o += 3) {
                o[0] = static_cast<uint8_t>(p[2] - q[2]);
                o[1] = static_cast<uint8_t>(p[1] - q[1]);
                o[2] = static_cast<uint8_t>(p[0] - q[0]);
            }
        }
        return;
    }
    const pixels::PictureRowReader reader(picture);
    std::vector<PixelBGR> line(width);
    std::vector<uint8_t> above(rowBytes, 0), current(rowBytes);
    for (int y = 0; y < picture.height(); ++y, out += rowBytes + 1) {
        reader.read(y, 0, static_cast<int>(width), line.data());
        for (size_t x = 0; x < width; ++x) {
            current[x * 3] = line[x].r;
            current[x * 3 + 1] = line[x].g;
            current[x * 3 + 2] = line[x].b;
        }
        out[0] = kFilterUp;
        for (size_t i = 0; i < rowBytes; ++i)
            out[i + 1] = static_cast<uint8_t>(current[i] - above[i]);
        above.swap(current);
    }
}

struct CompressorDeleter {
    void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};

// The filtered rows as one zlib stream, or empty when memory ran out.
std::vector<uint8_t> Compress(const std::vector<uint8_t>& filtered)
{
    const std::unique_ptr<libdeflate_compressor, CompressorDeleter> compressor(
        libdeflate_alloc_compressor(kPngCompressionLevel));
    if (!compressor) return {};
    std::vector<uint8_t> packed(libdeflate_zlib_compress_bound(compressor.get(), filtered.size()));
    const size_t size = libdeflate_zlib_compress(
        compressor.get(), filtered.data(), filtered.size(), packed.data(), packed.size());
    packed.resize(size);
    return packed;
}

CodecStatus WriteChunks(const Picture& picture, const std::vector<uint8_t>& plte, const std::vector<uint8_t>& trns,
    const std::vector<uint8_t>& idat, ByteSink& sink)
{
    const bool indexed = picture.storageBits() <= 8;
    std::array<uint8_t, 13> ihdr {};
    PutBigEndian32(ihdr.data(), static_cast<uint32_t>(picture.width()));
    PutBigEndian32(ihdr.data() + 4, static_cast<uint32_t>(picture.height()));
    ihdr[8] = static_cast<uint8_t>(indexed ? picture.storageBits() : 8);
    ihdr[9] = indexed ? kColourTypeIndexed : kColourTypeRgb;
    // Bytes 10–12: deflate, adaptive filtering, no interlace (all zero).
    static constexpr uint8_t kSignature[8] = { 0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n' };
    bool ok = sink.write(kSignature, sizeof kSignature) && WriteChunk(sink, "IHDR", ihdr.data(), ihdr.size());
    if (ok && !plte.empty()) ok = WriteChunk(sink, "PLTE", plte.data(), plte.size());
    if (ok && !trns.empty()) ok = WriteChunk(sink, "tRNS", trns.data(), trns.size());
    for (size_t at = 0; ok && at < idat.size(); at += kIdatBytes)
        ok = WriteChunk(sink, "IDAT", idat.data() + at, std::min(kIdatBytes, idat.size() - at));
    if (ok) ok = WriteChunk(sink, "IEND", nullptr, 0);
    return ok ? CodecStatus::success() : CodecStatus::failure("the picture's bytes could not be written");
}

// tRNS of an RGB file: the transparent colour as three 16-bit samples.
std::vector<uint8_t> RgbTransparency(const Picture& picture)
{
    if (!picture.transparent()) return {};
    const PixelBGR key = pixels::ColorToPixel(picture.transparentColor());
    return { 0, key.r, 0, key.g, 0, key.b };
}

} // namespace

CodecStatus WritePng(const Picture& picture, ByteSink& sink)
{
    if (picture.isEmpty()) return CodecStatus::failure("the picture is empty");
    const bool indexed = picture.storageBits() <= 8;
    const size_t width = static_cast<size_t>(picture.width());
    const size_t rowBytes = indexed ? (width * static_cast<size_t>(picture.storageBits()) + 7) / 8 : width * 3;
    const size_t height = static_cast<size_t>(picture.height());
    if (rowBytes + 1 > std::numeric_limits<size_t>::max() / height)
        return CodecStatus::failure("the picture is too large to write");
    std::vector<uint8_t> plte, trns, idat;
    try {
        std::vector<uint8_t> filtered((rowBytes + 1) * height);
        if (indexed) {
            BuildPalette(picture, plte, trns);
            FilterIndexedRows(picture, rowBytes, filtered.data());
        } else {
            trns = RgbTransparency(picture);
            FilterRgbRows(picture, filtered.data());
        }
        idat = Compress(filtered);
    } catch (const std::bad_alloc&) {
        return CodecStatus::failure("not enough memory to write the picture");
    }
    if (idat.empty()) return CodecStatus::failure("not enough memory to write the picture");
    return WriteChunks(picture, plte, trns, idat, sink);
}

} // namespace kaptivus::files
