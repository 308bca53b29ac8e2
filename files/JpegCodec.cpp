#include "files/JpegCodec.h"

namespace kaptivus::files {

CodecStatus WriteJpeg(const pixels::Picture&, ByteSink&, int) { return CodecStatus::failure("Jpeg files are not supported yet"); }
ReadResult ReadJpeg(Bytes, const ReadLimits&, int) { return ReadResult::failure("Jpeg files are not supported yet"); }

} // namespace kaptivus::files
