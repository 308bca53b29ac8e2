// Windows icon files. No Qt, no X11.
#pragma once

#include "files/Codec.h"

namespace kaptivus::files {

// Icons hold at most 256 x 256 pixels; a larger picture is refused.
CodecStatus WriteIco(const pixels::Picture& picture, ByteSink& sink);
// The largest image of the icon, drawn at (0, 0) into a picture of its size.
ReadResult ReadIco(Bytes bytes, const ReadLimits& limits = {});

} // namespace kaptivus::files
