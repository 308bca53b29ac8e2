// BMP files: a 14-byte file header in front of a device-independent bitmap.
#include "files/BmpCodec.h"

#include "files/Dib.h"

namespace kaptivus::files {

namespace {

constexpr size_t kFileHeaderBytes = 14;

} // namespace

CodecStatus WriteBmp(const pixels::Picture& picture, ByteSink& sink)
{
    DibSizes sizes;
    if (CodecStatus status = MeasureDib(picture, sizes); !status) return status;
    const uint32_t offset = static_cast<uint32_t>(kFileHeaderBytes) + sizes.infoBytes;
    uint8_t header[kFileHeaderBytes] = { 'B', 'M' };
    StoreLe(header + 2, 4, offset + sizes.bitsBytes);
    StoreLe(header + 10, 4, offset);
    if (!sink.write(header, sizeof header)) return CodecStatus::failure("the file header could not be written");
    return WriteDib(picture, sink);
}

uint64_t Bmp24FileBytes(int width, int height)
{
    return kFileHeaderBytes + kDibInfoHeaderBytes + Dib24BitsBytes(width, height);
}

CodecStatus WriteBmp24(const pixels::Picture& picture, ByteSink& sink)
{
    if (picture.isEmpty()) return CodecStatus::failure("the picture is empty");
    const uint64_t size = Bmp24FileBytes(picture.width(), picture.height());
    if (size > UINT32_MAX) return CodecStatus::failure("the picture is too large for a bitmap file");
    uint8_t header[kFileHeaderBytes] = { 'B', 'M' };
    StoreLe(header + 2, 4, static_cast<uint32_t>(size));
    StoreLe(header + 10, 4, static_cast<uint32_t>(kFileHeaderBytes + kDibInfoHeaderBytes));
    if (!sink.write(header, sizeof header)) return CodecStatus::failure("the file header could not be written");
    if (CodecStatus status = WriteDib24Info(picture.width(), picture.height(), sink); !status) return status;
    return WriteDib24Bits(picture, sink);
}

ReadResult ReadBmp(Bytes bytes, const ReadLimits& limits)
{
    if (bytes.size() > limits.maxFileBytes) return ReadResult::failure("the file is larger than allowed");
    if (bytes.size() < kFileHeaderBytes || bytes[0] != 'B' || bytes[1] != 'M')
        return ReadResult::failure("not a BMP file");
    // The declared file size is often wrong and is not needed; the offset of
    // the rows is, unless it points back into the header: then the rows
    // follow the colour table.
    const uint32_t offset = LoadLe(bytes.data() + 10, 4);
    if (offset > bytes.size()) return ReadResult::failure("pixel data offset past the end of the file");
    DibHeader header;
    if (CodecStatus status = ParseDibHeader(bytes.subspan(kFileHeaderBytes), header, limits); !status)
        return ReadResult::failure(status.error);
    size_t bitsStart = kFileHeaderBytes + header.infoBytes;
    if (offset >= kFileHeaderBytes + header.tableStart && offset != bitsStart) {
        // A colour table shorter than its count says ends where the rows start.
        const Bytes info = bytes.subspan(kFileHeaderBytes, offset - kFileHeaderBytes);
        if (CodecStatus status = ParseDibHeader(info, header, limits); !status) return ReadResult::failure(status.error);
        bitsStart = offset;
    }
    return DecodeDibBits(header, bytes.subspan(bitsStart), limits);
}

} // namespace kaptivus::files
