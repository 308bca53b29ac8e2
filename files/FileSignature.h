// The first bytes each picture type starts with, checked before a whole file
// is read: a file that is not what its name says is refused at once. No Qt,
// no X11, no file I/O.
#pragma once

#include "files/PictureFiles.h"

#include <cstddef>
#include <string>

namespace kaptivus::files {

// Bytes of a file's start that SignatureRefusal looks at (fewer when the file is shorter).
inline constexpr size_t kSignatureBytes = 44;

// Why a file starting with `head` cannot be of the type ("not a JPEG file"),
// or "" when it may be. The readers check the rest.
std::string SignatureRefusal(PictureType type, Bytes head);

} // namespace kaptivus::files
