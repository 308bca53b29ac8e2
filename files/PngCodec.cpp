#include "files/PngCodec.h"

namespace kaptivus::files {

CodecStatus WritePng(const pixels::Picture&, ByteSink&) { return CodecStatus::failure("Png files are not supported yet"); }
ReadResult ReadPng(Bytes, const ReadLimits&) { return ReadResult::failure("Png files are not supported yet"); }

} // namespace kaptivus::files
