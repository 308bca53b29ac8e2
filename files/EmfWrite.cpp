#include "files/Dib.h"
#include "files/Metafile.h"
#include "files/MetafileBytes.h"
#include "files/MetafileFormat.h"

namespace kaptivus::files {

using namespace metafile;

namespace {

// Hundredths of a millimetre for pixels of the 96-dpi reference screen.
int32_t HundredthsOfMm(int pixels)
{
    return static_cast<int32_t>((int64_t { pixels } * 2540 + kScreenDpi / 2) / kScreenDpi);
}

RecordBuilder EmfHeader(int width, int height, uint32_t fileBytes)
{
    RecordBuilder r;
    r.u32(kEmrHeader).u32(kEmfHeaderSize);
    r.i32(0).i32(0).i32(width - 1).i32(height - 1); // bounds: inclusive, in device pixels
    r.i32(0).i32(0).i32(HundredthsOfMm(width)).i32(HundredthsOfMm(height)); // frame
    r.u32(kEmfSignature).u32(kEmfVersion).u32(fileBytes).u32(3); // header, bitmap, end
    r.u16(1).u16(0); // handles: only the reserved index 0
    r.u32(0).u32(0).u32(0); // no description, no palette
    r.i32(kScreenWidthPixels).i32(kScreenHeightPixels);
    r.i32((kScreenWidthMicrometres + 500) / 1000).i32((kScreenHeightMicrometres + 500) / 1000);
    r.u32(0).u32(0).u32(0); // no pixel format, not OpenGL
    r.i32(kScreenWidthMicrometres).i32(kScreenHeightMicrometres);
    return r;
}

RecordBuilder StretchDiBits(int width, int height, uint32_t recordBytes, uint32_t bitsBytes)
{
    constexpr uint32_t bitsOffset = kEmrStretchDiBitsFixedSize + kDibInfoHeaderBytes;
    RecordBuilder r;
    r.u32(kEmrStretchDiBits).u32(recordBytes);
    r.i32(0).i32(0).i32(width - 1).i32(height - 1); // bounds
    r.i32(0).i32(0); // destination origin
    r.i32(0).i32(0).i32(width).i32(height); // source rectangle: the whole bitmap
    r.u32(kEmrStretchDiBitsFixedSize).u32(kDibInfoHeaderBytes).u32(bitsOffset).u32(bitsBytes);
    r.u32(0).u32(kSrcCopy); // colours as RGB values, copied
    r.i32(width).i32(height); // destination extent: the picture's own size
    return r;
}

} // namespace

CodecStatus WriteEmf(const pixels::Picture& picture, ByteSink& sink)
{
    if (picture.isEmpty()) return CodecStatus::failure("empty picture");
    const int width = picture.width();
    const int height = picture.height();
    const uint64_t bits = Dib24BitsBytes(width, height);
    const uint64_t stretchBytes = kEmrStretchDiBitsFixedSize + kDibInfoHeaderBytes + bits;
    const uint64_t fileBytes = kEmfHeaderSize + stretchBytes + kEmrEofSize;
    if (fileBytes > UINT32_MAX) return CodecStatus::failure("picture too large for an EMF file");

    RecordBuilder eof;
    eof.u32(kEmrEof).u32(kEmrEofSize).u32(0).u32(16).u32(kEmrEofSize); // no palette
    const bool written = EmfHeader(width, height, static_cast<uint32_t>(fileBytes)).writeTo(sink)
        && StretchDiBits(width, height, static_cast<uint32_t>(stretchBytes), static_cast<uint32_t>(bits)).writeTo(sink)
        && WriteDib24Info(width, height, sink) && WriteDib24Bits(picture, sink) && eof.writeTo(sink);
    return written ? CodecStatus::success() : CodecStatus::failure("could not write the EMF file");
}

} // namespace kaptivus::files
