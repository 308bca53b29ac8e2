// Which clipboard formats other programs offer a picture in, and reading one.
// No Qt, no X11: the caller fetches the bytes of the type chosen here.
#pragma once

#include "files/Codec.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kaptivus::files {

// The picture types taken from the clipboard, most faithful first.
inline constexpr std::string_view kClipboardPictureTypes[] = {"image/png", "image/bmp", "image/x-bmp", "image/jpeg"};

// The first of kClipboardPictureTypes the owner offers, or nothing.
std::optional<std::string> ChooseClipboardPictureType(const std::vector<std::string>& offered);

// Decodes the clipboard's bytes of that type with the same limits as a file.
ReadResult ReadClipboardPicture(std::string_view type, Bytes bytes, int screenBits, const ReadLimits& limits = {});

} // namespace kaptivus::files
