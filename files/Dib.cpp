// Writing device-independent bitmaps: the 40-byte header, masks, colour
// table and bottom-up rows of a picture in one of the program's own formats.
#include "files/Dib.h"

#include "pixels/PictureRows.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace kaptivus::files {

using pixels::Picture;
using pixels::PixelFormat;

namespace {

struct DibLayout {
    int bitCount = 0;
    uint32_t compression = kBiRgb;
    uint32_t paletteEntries = 0;
    int64_t stride = 0;
    DibSizes sizes;
};

bool IsOwnFormat(PixelFormat format)
{
    return format != PixelFormat::DeviceDefault && format != PixelFormat::Custom;
}

// 16 bits at 5-5-5 and 24/32 bits at 8-8-8 need no masks in the file.
bool HasStandardMasks(const Picture& picture)
{
    if (picture.storageBits() == 16)
        return picture.redMask() == 0x7C00 && picture.greenMask() == 0x03E0 && picture.blueMask() == 0x001F;
    return picture.redMask() == 0xFF0000 && picture.greenMask() == 0x00FF00 && picture.blueMask() == 0x0000FF;
}

CodecStatus LayoutOf(const Picture& picture, DibLayout& out)
{
    if (picture.isEmpty()) return CodecStatus::failure("the picture is empty");
    if (!IsOwnFormat(picture.format()))
        return CodecStatus::failure("device-default and custom pictures must be converted to 24 bits first");
    out.bitCount = picture.storageBits();
    uint64_t info = kDibInfoHeaderBytes;
    if (out.bitCount <= 8) {
        const uint32_t full = 1u << out.bitCount;
        const auto entries = static_cast<uint32_t>(std::min<size_t>(picture.palette().size(), full));
        // A picture without colours still needs a table: black entries.
        out.paletteEntries = entries == 0 ? full : entries;
        info += 4u * out.paletteEntries;
    } else if (!HasStandardMasks(picture)) {
        out.compression = kBiBitfields;
        info += 12;
    }
    out.stride = DibStride(picture.width(), out.bitCount);
    const uint64_t bits = static_cast<uint64_t>(out.stride) * static_cast<uint64_t>(picture.height());
    // The file header's 32-bit size must hold everything.
    if (bits + info + 14 > UINT32_MAX) return CodecStatus::failure("the picture is too large for a bitmap file");
    out.sizes = { static_cast<uint32_t>(info), static_cast<uint32_t>(bits) };
    return CodecStatus::success();
}

// Bits of the stored word that hold no channel; cleared so that no reader
// takes stray bytes for alpha.
uint32_t UnusedBits(const Picture& picture)
{
    return ~(picture.redMask() | picture.greenMask() | picture.blueMask());
}

// Whole words, so that the loop compiles to vector instructions; stored
// words are little-endian, as on the machines this runs on.
template <typename Word>
void ClearBits(uint8_t* row, size_t rowBytes, uint32_t keep)
{
    static_assert(std::endian::native == std::endian::little);
    const auto mask = static_cast<Word>(keep);
    for (size_t i = 0; i + sizeof(Word) <= rowBytes; i += sizeof(Word)) {
        Word w;
        std::memcpy(&w, row + i, sizeof w);
        w &= mask;
        std::memcpy(row + i, &w, sizeof w);
    }
}

// Copies row y as the file stores it: padding zeroed, bits beyond the last
// pixel and outside every channel cleared.
void StoreRow(const Picture& picture, int y, int64_t stride, uint8_t* out)
{
    const int bpp = picture.storageBits();
    const int64_t usedBits = static_cast<int64_t>(picture.width()) * bpp;
    const auto rowBytes = static_cast<size_t>((usedBits + 7) / 8);
    std::memcpy(out, picture.scanLine(y), rowBytes);
    std::memset(out + rowBytes, 0, static_cast<size_t>(stride) - rowBytes);
    if (usedBits % 8 != 0) out[rowBytes - 1] &= static_cast<uint8_t>(0xFF00u >> (usedBits % 8));
    const uint32_t unused = UnusedBits(picture) & (bpp == 16 ? 0xFFFFu : 0xFFFFFFFFu);
    if (bpp == 16 && unused) ClearBits<uint16_t>(out, rowBytes, ~unused);
    if (bpp == 32 && unused) ClearBits<uint32_t>(out, rowBytes, ~unused);
}

// The 40-byte header; the rows are stored bottom-up (a positive height).
void StoreInfoHeader(uint8_t* h, int width, int height, int bitCount, uint32_t compression, uint32_t bitsBytes,
    uint32_t colorsUsed)
{
    StoreLe(h + 0, 4, kDibInfoHeaderBytes);
    StoreLe(h + 4, 4, static_cast<uint32_t>(width));
    StoreLe(h + 8, 4, static_cast<uint32_t>(height));
    StoreLe(h + 12, 2, 1);
    StoreLe(h + 14, 2, static_cast<uint32_t>(bitCount));
    StoreLe(h + 16, 4, compression);
    StoreLe(h + 20, 4, bitsBytes);
    StoreLe(h + 24, 4, kPelsPerMeter96Dpi);
    StoreLe(h + 28, 4, kPelsPerMeter96Dpi);
    StoreLe(h + 32, 4, colorsUsed);
    StoreLe(h + 36, 4, 0); // every colour matters
}

} // namespace

int64_t DibStride(int64_t width, int bitCount)
{
    return ((width * bitCount + 31) / 32) * 4;
}

CodecStatus MeasureDib(const Picture& picture, DibSizes& sizes)
{
    DibLayout layout;
    if (CodecStatus status = LayoutOf(picture, layout); !status) return status;
    sizes = layout.sizes;
    return CodecStatus::success();
}

CodecStatus WriteDibInfo(const Picture& picture, ByteSink& sink)
{
    DibLayout layout;
    if (CodecStatus status = LayoutOf(picture, layout); !status) return status;
    std::vector<uint8_t> info(layout.sizes.infoBytes, 0);
    uint8_t* h = info.data();
    // The colour count is given only for a short table; 0 means a full one.
    const bool fullTable = layout.bitCount <= 8 && layout.paletteEntries == (1u << layout.bitCount);
    StoreInfoHeader(h, picture.width(), picture.height(), layout.bitCount, layout.compression, layout.sizes.bitsBytes,
        fullTable ? 0 : layout.paletteEntries);
    uint8_t* tail = h + kDibInfoHeaderBytes;
    if (layout.compression == kBiBitfields) {
        StoreLe(tail, 4, picture.redMask());
        StoreLe(tail + 4, 4, picture.greenMask());
        StoreLe(tail + 8, 4, picture.blueMask());
    }
    const auto& palette = picture.palette();
    for (uint32_t i = 0; i < layout.paletteEntries && i < palette.size(); ++i) {
        // Colours are 0x00BBGGRR; the table stores blue, green, red, 0.
        tail[4 * i] = static_cast<uint8_t>(palette[i] >> 16);
        tail[4 * i + 1] = static_cast<uint8_t>(palette[i] >> 8);
        tail[4 * i + 2] = static_cast<uint8_t>(palette[i]);
    }
    if (!sink.write(info.data(), info.size())) return CodecStatus::failure("the bitmap header could not be written");
    return CodecStatus::success();
}

CodecStatus WriteDibBits(const Picture& picture, ByteSink& sink)
{
    DibLayout layout;
    if (CodecStatus status = LayoutOf(picture, layout); !status) return status;
    // Rows go out in batches of about 256 KiB: few sink calls, little memory.
    const int rowsPerBatch = static_cast<int>(std::max<int64_t>(1, (int64_t { 256 } << 10) / layout.stride));
    std::vector<uint8_t> batch(static_cast<size_t>(layout.stride * std::min(rowsPerBatch, picture.height())));
    // Bitmap rows are stored bottom-up.
    for (int y = picture.height() - 1; y >= 0;) {
        size_t used = 0;
        for (int n = 0; n < rowsPerBatch && y >= 0; ++n, --y) {
            StoreRow(picture, y, layout.stride, batch.data() + used);
            used += static_cast<size_t>(layout.stride);
        }
        if (!sink.write(batch.data(), used)) return CodecStatus::failure("the pixel rows could not be written");
    }
    return CodecStatus::success();
}

CodecStatus WriteDib(const Picture& picture, ByteSink& sink)
{
    if (CodecStatus status = WriteDibInfo(picture, sink); !status) return status;
    return WriteDibBits(picture, sink);
}

uint64_t Dib24BitsBytes(int width, int height)
{
    return static_cast<uint64_t>(DibStride(width, 24)) * static_cast<uint64_t>(height);
}

CodecStatus WriteDib24Info(int width, int height, ByteSink& sink)
{
    const uint64_t bits = Dib24BitsBytes(width, height);
    uint8_t header[kDibInfoHeaderBytes];
    // A size past 32 bits is left for the reader to work out from the rows.
    StoreInfoHeader(header, width, height, 24, kBiRgb, bits <= UINT32_MAX ? static_cast<uint32_t>(bits) : 0, 0);
    if (!sink.write(header, sizeof header)) return CodecStatus::failure("the bitmap header could not be written");
    return CodecStatus::success();
}

CodecStatus WriteDib24Bits(const Picture& picture, ByteSink& sink)
{
    const int width = picture.width();
    std::vector<uint8_t> line(static_cast<size_t>(DibStride(width, 24)), 0);
    const pixels::PictureRowReader reader(picture);
    // Bitmap rows are stored bottom-up.
    for (int y = picture.height() - 1; y >= 0; --y) {
        reader.read(y, 0, width, reinterpret_cast<pixels::PixelBGR*>(line.data()));
        if (!sink.write(line.data(), line.size())) return CodecStatus::failure("the pixel rows could not be written");
    }
    return CodecStatus::success();
}

} // namespace kaptivus::files
