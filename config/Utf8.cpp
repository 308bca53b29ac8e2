// UTF-8 validation and UTF-16LE conversion.
#include "config/Utf8.h"

namespace kaptivus::config {

namespace {

// Length of the well-formed sequence starting at text[i], or 0 when it is malformed.
size_t sequenceLength(std::string_view text, size_t i)
{
    const auto byte = [&](size_t k) { return static_cast<uint8_t>(text[k]); };
    const uint8_t lead = byte(i);
    if (lead < 0x80) return 1;
    size_t length = 0;
    uint32_t code = 0;
    uint32_t minimum = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, code = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, code = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, code = lead & 0x07, minimum = 0x10000;
    } else {
        return 0;
    }
    if (i + length > text.size()) return 0;
    for (size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        code = (code << 6) | (byte(i + k) & 0x3F);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return length;
}

void appendUtf8(std::string& out, uint32_t code)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

uint32_t decodeValid(std::string_view text, size_t i, size_t length)
{
    const auto byte = [&](size_t k) { return static_cast<uint8_t>(text[k]); };
    static constexpr uint8_t kLeadMask[] = { 0, 0x7F, 0x1F, 0x0F, 0x07 };
    uint32_t code = byte(i) & kLeadMask[length];
    for (size_t k = 1; k < length; ++k)
        code = (code << 6) | (byte(i + k) & 0x3F);
    return code;
}

void appendUnit(std::vector<uint8_t>& out, uint32_t unit)
{
    out.push_back(static_cast<uint8_t>(unit & 0xFF));
    out.push_back(static_cast<uint8_t>(unit >> 8));
}

} // namespace

std::optional<size_t> firstInvalidUtf8(std::string_view text)
{
    for (size_t i = 0; i < text.size();) {
        const size_t length = sequenceLength(text, i);
        if (length == 0) return i;
        i += length;
    }
    return std::nullopt;
}

std::vector<uint8_t> utf8ToUtf16le(std::string_view text)
{
    std::vector<uint8_t> out;
    out.reserve(text.size() * 2);
    for (size_t i = 0; i < text.size();) {
        const size_t length = sequenceLength(text, i);
        if (length == 0) { // not expected for checked input; skip the byte rather than loop
            ++i;
            continue;
        }
        const uint32_t code = decodeValid(text, i, length);
        i += length;
        if (code < 0x10000) {
            appendUnit(out, code);
        } else {
            appendUnit(out, 0xD800 + ((code - 0x10000) >> 10));
            appendUnit(out, 0xDC00 + ((code - 0x10000) & 0x3FF));
        }
    }
    return out;
}

std::optional<std::string> utf16leToUtf8(const std::vector<uint8_t>& bytes)
{
    if (bytes.size() % 2 != 0) return std::nullopt;
    std::string out;
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size(); i += 2) {
        const uint32_t unit = bytes[i] | (static_cast<uint32_t>(bytes[i + 1]) << 8);
        if (unit >= 0xDC00 && unit <= 0xDFFF) return std::nullopt;
        if (unit < 0xD800 || unit > 0xDBFF) {
            appendUtf8(out, unit);
            continue;
        }
        if (i + 3 >= bytes.size()) return std::nullopt;
        const uint32_t low = bytes[i + 2] | (static_cast<uint32_t>(bytes[i + 3]) << 8);
        if (low < 0xDC00 || low > 0xDFFF) return std::nullopt;
        appendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        i += 2;
    }
    return out;
}

} // namespace kaptivus::config
