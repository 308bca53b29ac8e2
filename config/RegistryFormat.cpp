// Parser and writer of the registry-export text. Every input is untrusted: sizes are
// bounded, every line is checked, and a line that cannot be read is named and left out.
#include "config/RegistryFormat.h"

#include "config/DocumentBuilder.h"
#include "config/Utf8.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace kaptivus::config {

namespace {

constexpr size_t kHexBytesPerLine = 25;

bool isSpace(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view trimLeft(std::string_view s)
{
    while (!s.empty() && isSpace(s.front()))
        s.remove_prefix(1);
    return s;
}

std::string_view trimRight(std::string_view s)
{
    while (!s.empty() && isSpace(s.back()))
        s.remove_suffix(1);
    return s;
}

bool startsWithIgnoreCase(std::string_view s, std::string_view prefix)
{
    return s.size() >= prefix.size() && equalsIgnoreCase(s.substr(0, prefix.size()), prefix);
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string lineError(size_t number, std::string_view what)
{
    return "line " + std::to_string(number) + ": " + std::string(what);
}

void appendQuoted(std::string& out, std::string_view text)
{
    out += '"';
    for (const char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    out += '"';
}

size_t quotedLength(std::string_view text)
{
    return 2 + text.size()
        + static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) { return c == '\\' || c == '"'; }));
}

void appendHexText(std::string& out, std::string_view text)
{
    std::vector<uint8_t> bytes = utf8ToUtf16le(text);
    bytes.push_back(0);
    bytes.push_back(0);
    out += "hex(1):";
    char digits[3];
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0) out += ',';
        if (i > 0 && i % kHexBytesPerLine == 0) out += "\\\n  ";
        std::snprintf(digits, sizeof digits, "%02x", bytes[i]);
        out += digits;
    }
}

void appendValue(std::string& out, const RegistryValue& value)
{
    const size_t start = out.size();
    if (value.name.empty())
        out += '@';
    else
        appendQuoted(out, value.name);
    out += '=';
    const size_t nameLength = out.size() - start;
    switch (value.kind) {
    case ValueKind::Dword: {
        char digits[16];
        std::snprintf(digits, sizeof digits, "dword:%08x", static_cast<unsigned>(value.dword));
        out += digits;
        break;
    }
    case ValueKind::Text: {
        // Line breaks and other control characters cannot stand inside quotes, and a very
        // long text would exceed the line limit: both go out as a UTF-16 string in hex.
        const bool control = std::any_of(value.data.begin(), value.data.end(),
            [](char c) { return static_cast<unsigned char>(c) < 0x20 && c != '\t'; });
        if (control || nameLength + quotedLength(value.data) > kMaxRegistryLineBytes)
            appendHexText(out, value.data);
        else
            appendQuoted(out, value.data);
        break;
    }
    case ValueKind::Raw:
        out += value.data;
        break;
    }
    out += '\n';
}

// Reads a quoted string starting at text[pos] == '"'. Only \\ and \" are escapes; any other
// backslash stands for itself, so hand-written folder names still read as meant.
bool parseQuoted(std::string_view text, size_t& pos, std::string& out)
{
    out.clear();
    for (size_t i = pos + 1; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"') {
            pos = i + 1;
            return true;
        }
        if (c == '\\' && i + 1 < text.size() && (text[i + 1] == '\\' || text[i + 1] == '"')) ++i;
        out += text[i];
    }
    return false;
}

struct HexData {
    long type = -1; // -1 for plain hex:, else the number inside hex(...)
    std::vector<uint8_t> bytes;
};

std::optional<HexData> decodeHex(std::string_view data)
{
    HexData result;
    size_t pos = 3; // after "hex"
    if (pos < data.size() && data[pos] == '(') {
        const size_t close = data.find(')', pos);
        if (close == std::string_view::npos || close == pos + 1 || close > pos + 9) return std::nullopt;
        result.type = 0;
        for (size_t i = pos + 1; i < close; ++i) {
            const int d = hexDigit(data[i]);
            if (d < 0) return std::nullopt;
            result.type = result.type * 16 + d;
        }
        pos = close + 1;
    }
    if (pos >= data.size() || data[pos] != ':') return std::nullopt;
    std::string clean;
    for (size_t i = pos + 1; i < data.size(); ++i) {
        const char c = data[i];
        if (c == '\\') { // a continuation: only blanks may follow before the line break
            size_t k = i + 1;
            while (k < data.size() && isSpace(data[k]))
                ++k;
            if (k >= data.size() || data[k] != '\n') return std::nullopt;
            i = k;
        } else if (c == '\n') {
            return std::nullopt;
        } else if (!isSpace(c)) {
            clean += c;
        }
    }
    for (size_t i = 0; i < clean.size(); i += 3) {
        if (i + 2 > clean.size()) return std::nullopt;
        const int high = hexDigit(clean[i]);
        const int low = hexDigit(clean[i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        if (i + 2 < clean.size() && (clean[i + 2] != ',' || i + 3 == clean.size())) return std::nullopt;
        result.bytes.push_back(static_cast<uint8_t>(high * 16 + low));
    }
    return result;
}

// A hex(1) string that is a clean, NUL-terminated UTF-16 text is an ordinary text.
std::optional<std::string> hexText(const HexData& hex)
{
    const auto& b = hex.bytes;
    if (hex.type != 1 || b.size() < 2 || b.size() % 2 != 0 || b[b.size() - 1] != 0 || b[b.size() - 2] != 0)
        return std::nullopt;
    for (size_t i = 0; i + 2 < b.size(); i += 2)
        if (b[i] == 0 && b[i + 1] == 0) return std::nullopt;
    return utf16leToUtf8(std::vector<uint8_t>(b.begin(), b.end() - 2));
}

} // namespace

std::string serializeRegistry(const RegistryDocument& document)
{
    std::string out(kRegistryHeader);
    out += "\n\n";
    for (const auto& key : document.keys) {
        out += '[';
        out += key.path;
        out += "]\n";
        for (const auto& value : key.values)
            appendValue(out, value);
        out += '\n';
    }
    return out;
}

namespace {

class Parser {
public:
    explicit Parser(std::string_view text);
    ParseResult run();

private:
    std::string parseLine(std::string_view line);
    std::string parseSection(std::string_view line);
    std::string parseValue(std::string_view line);
    std::string parseData(std::string_view rhs, RegistryValue& value, bool& erase);
    std::string parseRaw(std::string_view rhs, RegistryValue& value);
    std::string error(std::string_view what) const { return lineError(m_index + 1, what); }

    void markUnread(size_t line, std::string problem);
    // After a key line that cannot be read, values belong to no key.
    void leaveKey()
    {
        m_key.reset();
        m_keyPath.clear();
        m_skipping = false;
    }

    std::vector<std::string_view> m_lines;
    size_t m_index = 0;
    DocumentBuilder m_document;
    std::vector<UnreadLine> m_unread;
    size_t m_unreadCount = 0;
    std::optional<size_t> m_key; // section that values go to
    std::string m_keyPath; // its path as written, for the unread lines under it
    std::optional<std::string> m_valueName; // of the line being read, once made out
    bool m_skipping = false; // inside a [-KEY] deletion: its values are ignored
};

Parser::Parser(std::string_view text)
{
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        m_lines.push_back(line);
        start = end + 1;
    }
}

// Control characters other than tab have no place in a line.
std::optional<size_t> firstStrayControl(std::string_view line)
{
    for (size_t i = 0; i < line.size(); ++i) {
        const auto c = static_cast<unsigned char>(line[i]);
        if (c < 0x20 && c != '\t') return i;
    }
    return std::nullopt;
}

// Why a line cannot even be looked at; empty when it can.
std::string undecodable(std::string_view line)
{
    if (line.size() > kMaxRegistryLineBytes) return "line too long";
    if (firstInvalidUtf8(line)) return "invalid UTF-8";
    if (const auto bad = firstStrayControl(line)) {
        char what[48];
        std::snprintf(what, sizeof what, "control character 0x%02x", static_cast<unsigned char>(line[*bad]));
        return what;
    }
    return {};
}

ParseResult Parser::run()
{
    if (m_lines.empty() || trimRight(m_lines[0]) != kRegistryHeader)
        return { std::nullopt, lineError(1, "missing header \"" + std::string(kRegistryHeader) + "\""), {}, 0 };
    for (m_index = 1; m_index < m_lines.size(); ++m_index) {
        const size_t first = m_index;
        m_valueName.reset();
        if (std::string why = undecodable(m_lines[m_index]); !why.empty()) {
            const std::string_view line = trimLeft(m_lines[m_index]);
            // A line that looks like a key line still ends the key before it.
            if (line.starts_with('[')) leaveKey();
            // The value's name may still be clean when its data is not.
            std::string name;
            if (size_t end = 0; line.starts_with('"') && parseQuoted(line, end, name) && undecodable(name).empty())
                m_valueName = name;
            markUnread(first, error(why));
            continue;
        }
        if (std::string problem = parseLine(trimLeft(m_lines[m_index])); !problem.empty())
            markUnread(first, std::move(problem));
    }
    return { m_document.finish(), {}, std::move(m_unread), m_unreadCount };
}

void Parser::markUnread(size_t line, std::string problem)
{
    if (++m_unreadCount > kMaxListedUnreadLines) return;
    m_unread.push_back({ line + 1, m_key ? m_keyPath : std::string(), m_valueName, std::move(problem) });
}

std::string Parser::parseLine(std::string_view line)
{
    if (trimRight(line).empty() || line.front() == ';') return {};
    if (line.front() == '[') return parseSection(trimRight(line));
    if (line.front() == '"' || line.front() == '@') return parseValue(line);
    return error("unexpected text (expected a [key] or a \"name\"=value line)");
}

std::string Parser::parseSection(std::string_view line)
{
    if (line.size() < 2 || line.back() != ']') {
        leaveKey();
        return error("key line does not end with ']'");
    }
    std::string_view path = line.substr(1, line.size() - 2);
    m_key.reset();
    m_keyPath.clear();
    m_skipping = !path.empty() && path.front() == '-';
    if (m_skipping) path.remove_prefix(1);
    if (!isValidKeyPath(path)) {
        leaveKey();
        return error("invalid key path");
    }
    if (m_skipping) {
        m_document.removeTree(path);
        return {};
    }
    m_key = m_document.ensureKey(path);
    m_keyPath = path;
    return {};
}

std::string Parser::parseValue(std::string_view line)
{
    RegistryValue value;
    size_t pos = 1; // past '@', the default value's name
    if (line.front() == '"') {
        pos = 0;
        if (!parseQuoted(line, pos, value.name)) return error("unterminated value name");
    }
    m_valueName = value.name;
    while (pos < line.size() && isSpace(line[pos]))
        ++pos;
    if (pos >= line.size() || line[pos] != '=') return error("expected '=' after the value name");
    bool erase = false;
    std::string problem = parseData(trimLeft(line.substr(pos + 1)), value, erase);
    if (!problem.empty()) return problem;
    if (!m_key) return m_skipping ? std::string() : error("value outside of a key");
    if (erase) {
        m_document.removeValue(*m_key, value.name);
        return {};
    }
    std::string written;
    appendValue(written, value);
    for (size_t start = 0, end; start < written.size(); start = end + 1) {
        end = written.find('\n', start);
        if (end - start > kMaxRegistryLineBytes) return error("value too long");
    }
    m_document.setValue(*m_key, std::move(value));
    return {};
}

std::string Parser::parseData(std::string_view rhs, RegistryValue& value, bool& erase)
{
    if (trimRight(rhs) == "-") {
        erase = true;
        return {};
    }
    if (!rhs.empty() && rhs.front() == '"') {
        size_t pos = 0;
        if (!parseQuoted(rhs, pos, value.data)) return error("unterminated quoted text");
        if (!trimRight(rhs.substr(pos)).empty()) return error("unexpected text after the quoted text");
        value.kind = ValueKind::Text;
        return {};
    }
    if (startsWithIgnoreCase(rhs, "dword:")) {
        const std::string_view digits = trimRight(rhs.substr(6));
        if (digits.empty() || digits.size() > 8) return error("bad dword: expected 1 to 8 hex digits");
        value.kind = ValueKind::Dword;
        for (const char c : digits) {
            const int d = hexDigit(c);
            if (d < 0) return error("bad dword: expected 1 to 8 hex digits");
            value.dword = value.dword * 16 + static_cast<uint32_t>(d);
        }
        return {};
    }
    if (startsWithIgnoreCase(rhs, "hex")) return parseRaw(rhs, value);
    return error("unknown value type");
}

std::string Parser::parseRaw(std::string_view rhs, RegistryValue& value)
{
    const size_t firstLine = m_index;
    std::string data(rhs);
    for (std::string_view last = rhs; !trimRight(last).empty() && trimRight(last).back() == '\\';) {
        if (m_index + 1 >= m_lines.size()) return error("hex data continues past the end of the file");
        last = m_lines[++m_index];
        if (std::string why = undecodable(last); !why.empty()) return error(why);
        data += '\n';
        data += last;
    }
    const std::optional<HexData> hex = decodeHex(data);
    if (!hex) return lineError(firstLine + 1, "bad hex data");
    if (std::optional<std::string> text = hexText(*hex)) {
        value.kind = ValueKind::Text;
        value.data = std::move(*text);
    } else {
        value.kind = ValueKind::Raw;
        value.data = std::move(data);
    }
    return {};
}

} // namespace

ParseResult parseRegistry(std::string_view bytes)
{
    if (bytes.size() > kMaxRegistryFileBytes)
        return { std::nullopt,
            "file too large: " + std::to_string(bytes.size()) + " bytes, the limit is "
                + std::to_string(kMaxRegistryFileBytes),
            {}, 0 };
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    if (bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF")
        return { std::nullopt, lineError(1, "the file is UTF-16 text; it must be UTF-8"), {}, 0 };
    return Parser(bytes).run();
}

} // namespace kaptivus::config
