// Reads and writes the text of a registry export (version 5.00 header, UTF-8) to and from
// a RegistryDocument. Pure functions on strings: no file I/O.
#pragma once

#include "config/RegistryDocument.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kaptivus::config {

inline constexpr std::string_view kRegistryHeader = "Windows Registry Editor Version 5.00";
inline constexpr size_t kMaxRegistryFileBytes = 4 * 1024 * 1024;
inline constexpr size_t kMaxRegistryLineBytes = 64 * 1024;
// Lines that could not be read are listed up to this many (a file of garbage would
// otherwise cost far more memory than its size); all of them are counted.
inline constexpr size_t kMaxListedUnreadLines = 1000;

// A line that could not be read. It is left out of the document and costs only itself:
// the lines around it are read as usual.
struct UnreadLine {
    size_t line = 0; // 1-based
    std::string key; // the key it stood under; empty outside of any key
    std::optional<std::string> value; // the value's name, when the line showed one
    std::string error; // "line N: what is wrong"
};

struct ParseResult {
    std::optional<RegistryDocument> document; // set when the file could be read as a registry
    std::string error; // otherwise why not: too large, UTF-16, no header
    std::vector<UnreadLine> unread; // lines left out of the document, in file order
    size_t unreadCount = 0; // all of them, listed or not
    bool ok() const { return document.has_value(); }
};

// Accepts a UTF-8 BOM and CRLF line ends; ';' lines are comments and are dropped.
// Repeated sections merge into the first; a repeated value replaces the earlier one.
// Deletions as exports write them are applied while reading: "Name"=- removes the value
// and [-PATH] removes the key with its subkeys, so neither is kept in the document.
// A line that cannot be decoded (bad syntax, invalid UTF-8, a stray control character,
// over the length limit) is listed in `unread`; after a key line that cannot be read,
// the values up to the next readable key line are unread too, as they belong to no key.
ParseResult parseRegistry(std::string_view bytes);

// Writes the header, a blank line, then each key as "[path]" followed by its values and a
// blank line. LF line ends. Texts that hold control characters are written as hex(1) so
// the line structure survives.
std::string serializeRegistry(const RegistryDocument& document);

} // namespace kaptivus::config
