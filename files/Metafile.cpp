#include "files/Metafile.h"

namespace kaptivus::files {

CodecStatus WriteEmf(const pixels::Picture&, ByteSink&) { return CodecStatus::failure("EMF files are not supported yet"); }
CodecStatus WriteWmf(const pixels::Picture&, ByteSink&) { return CodecStatus::failure("WMF files are not supported yet"); }
ReadResult ReadEmf(Bytes, const ReadLimits&) { return ReadResult::failure("EMF files are not supported yet"); }
ReadResult ReadWmf(Bytes, const ReadLimits&) { return ReadResult::failure("WMF files are not supported yet"); }

} // namespace kaptivus::files
