// Reads and writes the text of a registry export (version 5.00 header, UTF-8) to and from
// a RegistryDocument. Pure functions on strings: no file I/O.
#pragma once

#include "config/RegistryDocument.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kaptivus::config {

inline constexpr std::string_view kRegistryHeader = "Windows Registry Editor Version 5.00";
inline constexpr size_t kMaxRegistryFileBytes = 4 * 1024 * 1024;
inline constexpr size_t kMaxRegistryLineBytes = 64 * 1024;

struct ParseResult {
    std::optional<RegistryDocument> document; // set when parsing worked
    std::string error; // otherwise "line N: what is wrong"
    bool ok() const { return document.has_value(); }
};

// Accepts a UTF-8 BOM and CRLF line ends; ';' lines are comments and are dropped.
// Repeated sections merge into the first; a repeated value replaces the earlier one.
// Deletions as exports write them are applied while reading: "Name"=- removes the value
// and [-PATH] removes the key with its subkeys, so neither is kept in the document.
ParseResult parseRegistry(std::string_view bytes);

// Writes the header, a blank line, then each key as "[path]" followed by its values and a
// blank line. LF line ends. Texts that hold control characters are written as hex(1) so
// the line structure survives.
std::string serializeRegistry(const RegistryDocument& document);

} // namespace kaptivus::config
