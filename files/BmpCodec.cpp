#include "files/BmpCodec.h"

namespace kaptivus::files {

CodecStatus WriteBmp(const pixels::Picture&, ByteSink&) { return CodecStatus::failure("Bmp files are not supported yet"); }
ReadResult ReadBmp(Bytes, const ReadLimits&) { return ReadResult::failure("Bmp files are not supported yet"); }

} // namespace kaptivus::files
