// Reading device-independent bitmaps: every header size from the 12-byte
// core header to the 124-byte fifth version, colour tables, bit-field masks,
// uncompressed and run-length rows. Every size is checked before use.
#include "files/Dib.h"

#include "pixels/PictureRows.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>
#include <string>

namespace kaptivus::files {

using pixels::Picture;
using pixels::PixelFormat;

namespace {

constexpr uint32_t kCoreHeaderBytes = 12;
constexpr uint32_t kLargestHeaderBytes = 124;

uint32_t Field(Bytes header, size_t offset, size_t bytes)
{
    // Short headers (OS/2's 16 to 64 bytes) leave later fields out: they read as 0.
    return offset + bytes <= header.size() ? LoadLe(header.data() + offset, bytes) : 0;
}

bool ValidBitCount(int bitCount)
{
    return bitCount == 1 || bitCount == 2 || bitCount == 4 || bitCount == 8 || bitCount == 16 || bitCount == 24
        || bitCount == 32;
}

CodecStatus CheckCompression(const DibHeader& h, bool os2Header)
{
    const uint32_t c = h.compression;
    const bool ok = c == kBiRgb || (c == kBiRle8 && h.bitCount == 8) || (c == kBiRle4 && h.bitCount == 4)
        || ((c == kBiBitfields || c == kBiAlphaBitfields) && h.bitCount >= 16);
    if (ok && !(os2Header && c >= kBiBitfields)) return CodecStatus::success();
    if (c == kBiJpeg || c == kBiPng) return CodecStatus::failure("JPEG or PNG data inside a bitmap is not supported");
    return CodecStatus::failure("unsupported compression " + std::to_string(c) + " at "
        + std::to_string(h.bitCount) + " bits per pixel");
}

// Masks must be contiguous, disjoint, inside the pixel and each non-zero.
bool ValidMasks(const DibHeader& h)
{
    const uint32_t masks[3] = { h.redMask, h.greenMask, h.blueMask };
    const uint64_t limit = uint64_t { 1 } << h.bitCount;
    uint32_t seen = 0;
    for (uint32_t m : masks) {
        if (m == 0 || (m & seen) || m >= limit) return false;
        const uint32_t span = m >> std::countr_zero(m);
        if ((span & (span + 1)) != 0) return false;
        seen |= m;
    }
    return true;
}

// Reads the masks, inside a header of 52 bytes or more, else after it.
CodecStatus ReadMasks(Bytes info, uint32_t headerSize, DibHeader& h, size_t& headerEnd)
{
    if (h.compression != kBiBitfields && h.compression != kBiAlphaBitfields) return CodecStatus::success();
    size_t at = 40;
    if (headerSize < 52) {
        at = headerSize;
        headerEnd = headerSize + (h.compression == kBiAlphaBitfields ? 16 : 12);
        if (headerEnd > info.size()) return CodecStatus::failure("truncated bit-field masks");
    }
    h.redMask = LoadLe(info.data() + at, 4);
    h.greenMask = LoadLe(info.data() + at + 4, 4);
    h.blueMask = LoadLe(info.data() + at + 8, 4);
    if (h.redMask == 0 && h.greenMask == 0 && h.blueMask == 0) {
        h.compression = kBiRgb; // no masks at all: the usual layout
        return CodecStatus::success();
    }
    if (!ValidMasks(h)) return CodecStatus::failure("invalid bit-field masks");
    return CodecStatus::success();
}

// The colour table follows the header; a short one is cut where info ends.
CodecStatus ReadPalette(Bytes info, size_t headerEnd, uint32_t colorsUsed, size_t entryBytes, DibHeader& h)
{
    const uint64_t stored = colorsUsed != 0 ? colorsUsed : (h.bitCount <= 8 ? uint64_t { 1 } << h.bitCount : 0);
    const uint64_t available = (info.size() - headerEnd) / entryBytes;
    const uint64_t entries = std::min(stored, available);
    h.tableStart = headerEnd;
    h.tableEntries = stored;
    h.entryBytes = entryBytes;
    h.infoBytes = headerEnd + static_cast<size_t>(entries) * entryBytes;
    if (h.bitCount > 8) return CodecStatus::success(); // an optional table that direct colour ignores
    const auto used = static_cast<size_t>(std::min<uint64_t>(entries, uint64_t { 1 } << h.bitCount));
    if (used == 0) return CodecStatus::failure("missing colour table");
    h.palette.resize(used);
    for (size_t i = 0; i < used; ++i) {
        const uint8_t* e = info.data() + headerEnd + i * entryBytes;
        h.palette[i] = static_cast<pixels::Color>(e[2]) | static_cast<pixels::Color>(e[1]) << 8
            | static_cast<pixels::Color>(e[0]) << 16;
    }
    return CodecStatus::success();
}

PixelFormat FormatOf(const DibHeader& h)
{
    if (h.bitCount == 2) return PixelFormat::Custom;
    if (h.compression != kBiBitfields && h.compression != kBiAlphaBitfields)
        return pixels::RecognisePixelFormat(h.bitCount, 0, 0, 0);
    if (h.bitCount == 24)
        return h.redMask == 0xFF0000 && h.greenMask == 0xFF00 && h.blueMask == 0xFF ? PixelFormat::Bits24
                                                                                      : PixelFormat::Custom;
    return pixels::RecognisePixelFormat(h.bitCount, h.redMask, h.greenMask, h.blueMask);
}

ReadResult Finish(Picture picture, const DibHeader& h)
{
    if (picture.isEmpty() || picture.height() != h.height) return ReadResult::failure("not enough memory for the picture");
    if (h.bitCount <= 8) picture.setPalette(h.palette);
    ReadResult result;
    result.picture = std::move(picture);
    return result;
}

ReadResult DecodePlain(const DibHeader& h, Bytes bits)
{
    const int64_t stride = DibStride(h.width, h.bitCount);
    const int64_t rowBytes = (static_cast<int64_t>(h.width) * h.bitCount + 7) / 8;
    // The last row may come without its padding.
    if (static_cast<uint64_t>(stride * (h.height - 1) + rowBytes) > bits.size())
        return ReadResult::failure("truncated pixel data");
    std::vector<uint8_t> rows;
    try {
        rows.assign(static_cast<size_t>(stride * h.height), 0);
    } catch (const std::bad_alloc&) {
        return ReadResult::failure("not enough memory for the picture");
    }
    for (int64_t r = 0; r < h.height; ++r) {
        const int64_t y = h.topDown ? r : h.height - 1 - r;
        const auto from = static_cast<size_t>(r * stride);
        std::memcpy(rows.data() + y * stride, bits.data() + from, std::min(static_cast<size_t>(stride), bits.size() - from));
    }
    const PixelFormat format = FormatOf(h);
    return Finish(Picture::adopt(h.width, h.height, format, {}, std::move(rows), static_cast<int>(stride), h.bitCount,
                      h.redMask, h.greenMask, h.blueMask),
        h);
}

// Run-length rows: pairs (count, index) repeat an index (two alternating
// ones at 4 bits); a zero count escapes to end of line (0), end of bitmap (1),
// a jump right and up (2, dx, dy) or a literal run (3..255 indexes, padded to
// an even byte count). Skipped pixels keep index 0. Writers encode the row's
// padding too, so pixels past the end of a row are dropped; a run on a row
// past the last one, or a jump out of the picture, is an error.
class RleDecoder {
public:
    RleDecoder(const DibHeader& h, Picture& picture, Bytes data)
        : m_h(h)
        , m_picture(picture)
        , m_data(data)
        , m_bpp(h.bitCount)
    {
    }

    CodecStatus run();

private:
    CodecStatus place()
    {
        if (m_row >= m_h.height) return CodecStatus::failure("RLE data past the last row");
        return CodecStatus::success();
    }
    uint8_t* line() { return m_picture.scanLine(m_h.topDown ? m_row : m_h.height - 1 - m_row); }
    void store(uint8_t* l, unsigned index)
    {
        if (m_x < m_h.width) pixels::StoreIndex(l, m_x++, m_bpp, pixels::PixelsPerByteLog2(m_bpp), index);
    }
    CodecStatus encodedRun(int count, uint8_t value);
    CodecStatus literalRun(int count);

    const DibHeader& m_h;
    Picture& m_picture;
    Bytes m_data;
    int m_bpp;
    size_t m_pos = 0;
    int m_x = 0;
    int m_row = 0; // counted from the first stored row
};

CodecStatus RleDecoder::encodedRun(int count, uint8_t value)
{
    if (CodecStatus status = place(); !status) return status;
    uint8_t* l = line();
    for (int i = 0; i < count; ++i)
        store(l, m_bpp == 8 ? value : ((i & 1) ? value & 0x0F : value >> 4));
    return CodecStatus::success();
}

CodecStatus RleDecoder::literalRun(int count)
{
    const size_t bytes = m_bpp == 8 ? static_cast<size_t>(count) : static_cast<size_t>(count + 1) / 2;
    const size_t padded = (bytes + 1) & ~size_t { 1 };
    if (m_data.size() - m_pos < bytes) return CodecStatus::failure("truncated RLE data");
    if (CodecStatus status = place(); !status) return status;
    uint8_t* l = line();
    const uint8_t* in = m_data.data() + m_pos;
    for (int i = 0; i < count; ++i)
        store(l, m_bpp == 8 ? in[i] : ((i & 1) ? in[i / 2] & 0x0F : in[i / 2] >> 4));
    m_pos = std::min(m_data.size(), m_pos + padded);
    return CodecStatus::success();
}

CodecStatus RleDecoder::run()
{
    // Data that ends without an end-of-bitmap code keeps what was decoded.
    while (m_data.size() - m_pos >= 2) {
        const uint8_t count = m_data[m_pos];
        const uint8_t value = m_data[m_pos + 1];
        m_pos += 2;
        CodecStatus status;
        if (count > 0) {
            status = encodedRun(count, value);
        } else if (value == 0) {
            m_x = 0;
            ++m_row;
        } else if (value == 1) {
            return CodecStatus::success();
        } else if (value == 2) {
            if (m_data.size() - m_pos < 2) return CodecStatus::failure("truncated RLE data");
            m_x += m_data[m_pos];
            m_row += m_data[m_pos + 1];
            m_pos += 2;
            if (m_x > m_h.width || m_row > m_h.height) return CodecStatus::failure("RLE jump past the picture");
        } else {
            status = literalRun(value);
        }
        if (!status) return status;
    }
    return CodecStatus::success();
}

ReadResult DecodeRle(const DibHeader& h, Bytes bits)
{
    const PixelFormat format = h.bitCount == 8 ? PixelFormat::Bits8 : PixelFormat::Bits4;
    Picture picture = Picture::create(h.width, h.height, format);
    if (picture.isEmpty()) return ReadResult::failure("not enough memory for the picture");
    RleDecoder decoder(h, picture, bits);
    if (CodecStatus status = decoder.run(); !status) return ReadResult::failure(status.error);
    return Finish(std::move(picture), h);
}

} // namespace

CodecStatus ParseDibHeader(Bytes info, DibHeader& h, const ReadLimits& limits)
{
    h = DibHeader {};
    if (info.size() < 4) return CodecStatus::failure("truncated bitmap header");
    const uint32_t size = LoadLe(info.data(), 4);
    if (size != kCoreHeaderBytes && (size < 16 || size > kLargestHeaderBytes))
        return CodecStatus::failure("unknown bitmap header size " + std::to_string(size));
    if (size > info.size()) return CodecStatus::failure("truncated bitmap header");
    const bool core = size == kCoreHeaderBytes;
    const Bytes header = info.first(size);
    // The core header's sizes are unsigned 16-bit; the others' signed 32-bit,
    // a negative height meaning rows stored top-down.
    const int64_t width = core ? int64_t { Field(header, 4, 2) } : int64_t { static_cast<int32_t>(Field(header, 4, 4)) };
    int64_t height = core ? int64_t { Field(header, 6, 2) } : int64_t { static_cast<int32_t>(Field(header, 8, 4)) };
    h.topDown = height < 0;
    height = height < 0 ? -height : height;
    if (std::string refusal = limits.sizeRefusal(width, height); !refusal.empty())
        return CodecStatus::failure(std::move(refusal));
    h.width = static_cast<int>(width);
    h.height = static_cast<int>(height);
    h.bitCount = static_cast<int>(core ? Field(header, 10, 2) : Field(header, 14, 2));
    if (!ValidBitCount(h.bitCount))
        return CodecStatus::failure("unsupported bit count " + std::to_string(h.bitCount));
    h.compression = core ? kBiRgb : Field(header, 16, 4);
    // OS/2's second header (16 to 64 bytes) gives other meanings to codes 3 and 4.
    const bool os2 = !core && size <= 64 && size != 40 && size != 52 && size != 56;
    if (CodecStatus status = CheckCompression(h, os2); !status) return status;
    size_t headerEnd = size;
    if (CodecStatus status = ReadMasks(info, size, h, headerEnd); !status) return status;
    return ReadPalette(info, headerEnd, core ? 0 : Field(header, 32, 4), core ? 3 : 4, h);
}

ReadResult DecodeDibBits(const DibHeader& header, Bytes bits, const ReadLimits& limits)
{
    if (std::string refusal = limits.sizeRefusal(header.width, header.height); !refusal.empty())
        return ReadResult::failure(std::move(refusal));
    if (!ValidBitCount(header.bitCount))
        return ReadResult::failure("unsupported bit count " + std::to_string(header.bitCount));
    if (header.compression == kBiRle8 || header.compression == kBiRle4) return DecodeRle(header, bits);
    return DecodePlain(header, bits);
}

ReadResult ReadDib(Bytes info, Bytes bits, const ReadLimits& limits)
{
    DibHeader header;
    if (CodecStatus status = ParseDibHeader(info, header, limits); !status) return ReadResult::failure(status.error);
    return DecodeDibBits(header, bits, limits);
}

ReadResult ReadDib(Bytes packed, const ReadLimits& limits)
{
    if (packed.size() > limits.maxFileBytes) return ReadResult::failure("the bitmap is larger than allowed");
    DibHeader header;
    if (CodecStatus status = ParseDibHeader(packed, header, limits); !status) return ReadResult::failure(status.error);
    return DecodeDibBits(header, packed.subspan(header.infoBytes), limits);
}

} // namespace kaptivus::files
