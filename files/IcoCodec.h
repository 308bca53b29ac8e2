// Windows icon files. No Qt, no X11.
#pragma once

#include "files/Codec.h"

namespace kaptivus::files {

// Icons hold at most 256 x 256 pixels; a larger picture is refused.
CodecStatus WriteIco(const pixels::Picture& picture, ByteSink& sink);
// What reading an icon cost: the images decoded and their pixels, all told.
struct IcoWork {
    int attempts = 0;
    int64_t pixels = 0;
};

// The largest image of the icon, drawn at (0, 0) into a picture of its size.
// Each distinct image is decoded at most once, and the work on images that
// turn out damaged is bounded; `work`, when given, adds up what was done.
ReadResult ReadIco(Bytes bytes, const ReadLimits& limits = {}, IcoWork* work = nullptr);

} // namespace kaptivus::files
