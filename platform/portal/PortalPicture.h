// The picture file a Screenshot portal hands over: its address checked, the
// file read defensively (this user's regular file, a size limit, the
// project's own PNG reader) and removed once read where it is this user's to
// remove. No D-Bus here.
#pragma once

#include "pixels/Picture.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kaptivus::platform::portal {

// Files larger than this are not read: a PNG of the largest desktop the
// screencopy grab accepts stays far below.
inline constexpr int64_t kMaxPortalFileBytes = int64_t { 256 } << 20;

// The local path of a file:// address (empty or "localhost" host, percent
// escapes decoded), absolute and without "." or ".." parts; nothing for any
// other address.
std::optional<std::string> localPathOfUri(std::string_view uri);

// Whether the folder holding `path` lies at or below one of `roots` (compared
// after resolving links in both).
bool isUnderRoots(const std::string& path, const std::vector<std::string>& roots);

// The folders where a portal's file may be removed after reading: the home,
// the runtime and the temporary folders of this user.
std::vector<std::string> removableRoots();

struct PortalPicture {
    pixels::Picture picture; // the screen's own layout, as every grab gives
    std::string error; // a sentence for the user when there is no picture
    bool removed = false; // whether the file is gone
    bool ok() const { return error.empty() && !picture.isEmpty(); }
};

// Reads the picture at `uri` and removes the file when it lies under `roots`.
PortalPicture readPortalPicture(std::string_view uri, const std::vector<std::string>& roots);

} // namespace kaptivus::platform::portal
