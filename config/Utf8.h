// UTF-8 checks and UTF-16LE conversions for the registry file. Standard library only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kaptivus::config {

// Offset of the first byte that is not part of well-formed UTF-8 (overlong forms,
// surrogates and code points above U+10FFFF included), or nullopt when all is well.
std::optional<size_t> firstInvalidUtf8(std::string_view text);
inline bool isValidUtf8(std::string_view text)
{
    return !firstInvalidUtf8(text).has_value();
}

// UTF-16LE bytes of valid UTF-8 text (no terminator added).
std::vector<uint8_t> utf8ToUtf16le(std::string_view text);
// UTF-8 text of UTF-16LE bytes; nullopt for an odd length or an unpaired surrogate.
std::optional<std::string> utf16leToUtf8(const std::vector<uint8_t>& bytes);

} // namespace kaptivus::config
