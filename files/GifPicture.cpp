#include "files/GifPicture.h"

namespace kaptivus::files {

CodecStatus WriteGif(pixels::Picture&, ByteSink&) { return CodecStatus::failure("Gif files are not supported yet"); }
ReadResult ReadGif(Bytes, const ReadLimits&) { return ReadResult::failure("Gif files are not supported yet"); }

} // namespace kaptivus::files
