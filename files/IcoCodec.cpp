#include "files/IcoCodec.h"

namespace kaptivus::files {

CodecStatus WriteIco(const pixels::Picture&, ByteSink&) { return CodecStatus::failure("Ico files are not supported yet"); }
ReadResult ReadIco(Bytes, const ReadLimits&) { return ReadResult::failure("Ico files are not supported yet"); }

} // namespace kaptivus::files
