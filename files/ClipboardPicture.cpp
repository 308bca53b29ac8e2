#include "files/ClipboardPicture.h"

#include "files/BmpCodec.h"
#include "files/JpegCodec.h"
#include "files/PngCodec.h"

#include <algorithm>

namespace kaptivus::files {

std::optional<std::string> ChooseClipboardPictureType(const std::vector<std::string>& offered)
{
    for (const std::string_view type : kClipboardPictureTypes)
        if (std::find(offered.begin(), offered.end(), type) != offered.end())
            return std::string(type);
    return std::nullopt;
}

ReadResult ReadClipboardPicture(std::string_view type, Bytes bytes, int screenBits, const ReadLimits& limits)
{
    if (bytes.size() > limits.maxFileBytes)
        return ReadResult::failure("the clipboard's picture is larger than " +
                                   std::to_string(limits.maxFileBytes >> 20) + " MiB");
    if (type == "image/png")
        return ReadPng(bytes, limits);
    if (type == "image/bmp" || type == "image/x-bmp")
        return ReadBmp(bytes, limits);
    if (type == "image/jpeg")
        return ReadJpeg(bytes, limits, screenBits);
    return ReadResult::failure("no picture type is read from " + std::string(type));
}

} // namespace kaptivus::files
