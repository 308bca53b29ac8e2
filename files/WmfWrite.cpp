#include "files/Dib.h"
#include "files/Metafile.h"
#include "files/MetafileBytes.h"
#include "files/MetafileFormat.h"

namespace kaptivus::files {

using namespace metafile;

namespace {

constexpr int kMaxWmfSide = 32767; // coordinates are signed 16-bit
constexpr uint16_t kMapAnisotropicMode = 8;

// The header of a placeable file: the picture's box in units of 1/96 inch,
// which are its pixels, closed by the XOR of the ten words before the checksum.
RecordBuilder PlaceableHeader(int width, int height)
{
    RecordBuilder r;
    r.u32(kPlaceableKey).u16(0); // no handle
    r.u16(0).u16(0).u16(static_cast<uint16_t>(width)).u16(static_cast<uint16_t>(height));
    r.u16(kScreenDpi).u32(0);
    uint16_t checksum = 0;
    for (size_t i = 0; i < 20; i += 2)
        checksum ^= static_cast<uint16_t>(LoadLe(r.bytes().data() + i, 2));
    r.u16(checksum);
    return r;
}

} // namespace

CodecStatus WriteWmf(const pixels::Picture& picture, ByteSink& sink)
{
    if (picture.isEmpty()) return CodecStatus::failure("empty picture");
    const int width = picture.width();
    const int height = picture.height();
    if (width > kMaxWmfSide || height > kMaxWmfSide)
        return CodecStatus::failure("picture too large for a WMF file (at most 32767 pixels a side)");
    const uint64_t stretchWords = (kMetaStretchDibFixedSize + kDibInfoHeaderBytes + Dib24BitsBytes(width, height)) / 2;
    constexpr uint32_t mapModeWords = 4;
    constexpr uint32_t originWords = 5;
    constexpr uint32_t eofWords = 3;
    const uint64_t fileWords = kWmfHeaderSize / 2 + mapModeWords + 2 * originWords + stretchWords + eofWords;
    if (fileWords > UINT32_MAX) return CodecStatus::failure("picture too large for a WMF file");

    RecordBuilder records;
    records.u16(1).u16(kWmfHeaderSize / 2).u16(0x0300); // in memory, version 3
    records.u32(static_cast<uint32_t>(fileWords)).u16(0).u32(static_cast<uint32_t>(stretchWords)).u16(0);
    records.u32(mapModeWords).u16(kMetaSetMapMode).u16(kMapAnisotropicMode);
    records.u32(originWords).u16(kMetaSetWindowOrg).u16(0).u16(0); // y, then x
    records.u32(originWords)
        .u16(kMetaSetWindowExt)
        .u16(static_cast<uint16_t>(height))
        .u16(static_cast<uint16_t>(width));
    records.u32(static_cast<uint32_t>(stretchWords)).u16(kMetaStretchDib).u32(kSrcCopy).u16(0); // RGB colours
    // Source height, width, y, x, then the destination's, each y before x.
    records.u16(static_cast<uint16_t>(height)).u16(static_cast<uint16_t>(width)).u16(0).u16(0);
    records.u16(static_cast<uint16_t>(height)).u16(static_cast<uint16_t>(width)).u16(0).u16(0);
    RecordBuilder eof;
    eof.u32(eofWords).u16(kMetaEof);
    const bool written = PlaceableHeader(width, height).writeTo(sink) && records.writeTo(sink)
        && WriteDib24Info(width, height, sink) && WriteDib24Bits(picture, sink) && eof.writeTo(sink);
    return written ? CodecStatus::success() : CodecStatus::failure("could not write the WMF file");
}

} // namespace kaptivus::files
