// The registry-export text: round trips, kept unknown data, deletions, lines that cannot
// be read (each named and left out), and refusals of what is not a registry export.
#include "config/RegistryFormat.h"

#include <chrono>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace kaptivus::config;
using ::testing::HasSubstr;

namespace {

const std::string kHeader = "Windows Registry Editor Version 5.00\n\n";

RegistryDocument parseOk(std::string_view text)
{
    ParseResult result = parseRegistry(text);
    EXPECT_TRUE(result.ok()) << result.error;
    EXPECT_TRUE(result.unread.empty()) << result.unread.front().error;
    return result.ok() ? *result.document : RegistryDocument {};
}

RegistryValue text(std::string name, std::string data)
{
    return { std::move(name), ValueKind::Text, 0, std::move(data) };
}
RegistryValue dword(std::string name, uint32_t v)
{
    return { std::move(name), ValueKind::Dword, v, {} };
}

} // namespace

TEST(RegistryFormat, WritesTheExportLayoutExactly)
{
    RegistryDocument doc;
    doc.keys.push_back({ "HKEY_CURRENT_USER\\SOFTWARE\\Kaptivus2000\\V5.10",
        { dword("HotKey0", 44), text("Footer", "Kaptivus 2000 Version 5.10") } });
    EXPECT_EQ(serializeRegistry(doc),
        "Windows Registry Editor Version 5.00\n\n"
        "[HKEY_CURRENT_USER\\SOFTWARE\\Kaptivus2000\\V5.10]\n"
        "\"HotKey0\"=dword:0000002c\n"
        "\"Footer\"=\"Kaptivus 2000 Version 5.10\"\n\n");
}

TEST(RegistryFormat, RoundTripKeepsEscapesNonAsciiAndEveryValueKind)
{
    RegistryDocument doc;
    doc.keys.push_back({ "HKEY_CURRENT_USER\\SOFTWARE\\Kaptivus2000\\V5.10",
        { text("Quote\"d\\name", "C:\\temp\\ \"quoted\" \\\\server"), text("Accents", "Pied de page é ® — 📷"),
            text("Empty", ""), text("Tab", "a\tb"), text("Lines", "first\r\nsecond\nthird"),
            dword("Negative", 0xFFFFFF01u), dword("Max", 0xFFFFFFFFu), text("", "default value"),
            text("@", "a value named at") } });
    doc.keys.push_back({ "HKEY_CURRENT_USER\\SOFTWARE\\Other", { { "Blob", ValueKind::Raw, 0, "hex:01,02,ff" } } });
    const std::string written = serializeRegistry(doc);
    EXPECT_THAT(written, HasSubstr("\"Quote\\\"d\\\\name\"=\"C:\\\\temp\\\\ \\\"quoted\\\" \\\\\\\\server\"\n"));
    EXPECT_THAT(written, HasSubstr("\"Accents\"=\"Pied de page é ® — 📷\"\n"));
    EXPECT_THAT(written, HasSubstr("@=\"default value\"\n"));
    EXPECT_THAT(written, HasSubstr("\"Lines\"=hex(1):")); // a line break cannot stand inside quotes
    EXPECT_EQ(parseOk(written), doc);
}

TEST(RegistryFormat, UnknownKeysAndHexValuesSurviveARewrite)
{
    const std::string input = kHeader
        + "[HKEY_CURRENT_USER\\SOFTWARE\\Kaptivus2000]\n"
          "\"Installed\"=dword:00000001\n\n"
          "[HKEY_CURRENT_USER\\SOFTWARE\\Kaptivus2000\\V5.10]\n"
          "\"Path\"=hex(2):25,00,54,00,45,00,4d,00,50,00,25,00,00,00\n"
          "\"Blob\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\\n"
          "  16,17,18,19\n"
          "\"Multi\"=hex(7):61,00,00,00,62,00,00,00,00,00\n"
          "\"Qword\"=hex(b):01,00,00,00,00,00,00,00\n\n"
          "[HKEY_CURRENT_USER\\SOFTWARE\\Kaptivus2000\\V5.10\\Sub]\n"
          "\"X\"=\"y\"\n\n";
    const RegistryDocument doc = parseOk(input);
    ASSERT_EQ(doc.keys.size(), 3u);
    const RegistryValue* blob = doc.keys[1].findValue("blob");
    ASSERT_NE(blob, nullptr);
    EXPECT_EQ(blob->kind, ValueKind::Raw);
    EXPECT_EQ(blob->data, "hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\\n  16,17,18,19");
    // Our own writer produces the same text for data it does not interpret.
    EXPECT_EQ(serializeRegistry(doc), input);
}

TEST(RegistryFormat, AcceptsBomCrlfCommentsAndLooseSpacing)
{
    const RegistryDocument doc = parseOk("\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n\r\n"
                                         "; written by hand\r\n"
                                         "[HKEY_CURRENT_USER\\SOFTWARE\\K]  \r\n"
                                         "\"A\" = dword:2C\r\n"
                                         "  \"B\"=\"é\"  \r\n"
                                         "\"C\"=hex:01,\\\r\n  02\r\n");
    ASSERT_EQ(doc.keys.size(), 1u);
    EXPECT_EQ(doc.keys[0].values,
        (std::vector<RegistryValue> { dword("A", 44), text("B", "é"), { "C", ValueKind::Raw, 0, "hex:01,\\\n  02" } }));
}

TEST(RegistryFormat, LoneBackslashesInHandWrittenTextStandForThemselves)
{
    const RegistryDocument doc = parseOk(kHeader + "[K]\n\"Folder\"=\"C:\\temp\\new\"\n");
    EXPECT_EQ(doc.keys[0].values[0].data, "C:\\temp\\new");
    EXPECT_EQ(parseOk(serializeRegistry(doc)), doc);
}

TEST(RegistryFormat, CleanUtf16HexStringsReadAsText)
{
    // "é\n" as UTF-16LE with its terminator.
    const RegistryDocument doc = parseOk(kHeader + "[K]\n\"T\"=hex(1):e9,00,0a,00,00,00\n\"Odd\"=hex(1):41,00,41\n");
    EXPECT_EQ(doc.keys[0].values[0], text("T", "é\n"));
    EXPECT_EQ(doc.keys[0].values[1].kind, ValueKind::Raw); // not a clean string: kept as written
}

TEST(RegistryFormat, DeletionsInTheFileAreApplied)
{
    const RegistryDocument doc = parseOk(kHeader
        + "[A\\B]\n\"x\"=dword:1\n\"y\"=dword:2\n"
          "[A\\B\\C]\n\"z\"=\"\"\n"
          "[A\\D]\n\"w\"=\"\"\n"
          "[a\\b]\n\"X\"=-\n"
          "[-A\\D]\n\"ignored\"=\"value of a deleted key\"\n");
    ASSERT_EQ(doc.keys.size(), 2u);
    EXPECT_EQ(doc.keys[0].path, "A\\B"); // the repeated section merged into the first spelling
    EXPECT_EQ(doc.keys[0].values, (std::vector<RegistryValue> { dword("y", 2) }));
    EXPECT_EQ(doc.keys[1].path, "A\\B\\C");
    EXPECT_TRUE(doc.keyExists("A"));
    EXPECT_FALSE(doc.keyExists("a\\d"));
}

TEST(RegistryFormat, RepeatedValueReplacesTheEarlierInPlace)
{
    const RegistryDocument doc = parseOk(kHeader + "[K]\n\"One\"=dword:1\n\"Two\"=dword:2\n\"ONE\"=\"now text\"\n");
    EXPECT_EQ(doc.keys[0].values, (std::vector<RegistryValue> { text("One", "now text"), dword("Two", 2) }));
}

struct BadInput {
    const char* name;
    std::string text;
    const char* message;
};

void PrintTo(const BadInput& c, std::ostream* os) { *os << c.name; }

class RegistryFormatRefuses : public ::testing::TestWithParam<BadInput> { };

// Only a file that is not a registry export at all is refused as a whole.
TEST_P(RegistryFormatRefuses, WithTheLineAndTheReason)
{
    const ParseResult result = parseRegistry(GetParam().text);
    EXPECT_FALSE(result.ok());
    EXPECT_THAT(result.error, HasSubstr(GetParam().message));
}

INSTANTIATE_TEST_SUITE_P(NotARegistry, RegistryFormatRefuses,
    ::testing::Values(BadInput { "Empty", "", "line 1: missing header" },
        BadInput { "WrongHeader", "REGEDIT4\n\n[K]\n", "line 1: missing header" },
        BadInput { "Utf16", std::string("\xFF\xFEW\0i\0", 6), "line 1: the file is UTF-16" }),
    [](const auto& info) { return std::string(info.param.name); });

struct BadLine {
    const char* name;
    std::string line;
    const char* message;
    const char* value; // the name the line shows, or nullptr
    bool last = false; // the line must end the file
};

void PrintTo(const BadLine& c, std::ostream* os) { *os << c.name; }

class OneBadLine : public ::testing::TestWithParam<BadLine> { };

// Regression: one mistyped line made the whole file unreadable, so every value was lost.
TEST_P(OneBadLine, CostsOnlyItself)
{
    const BadLine& c = GetParam();
    const std::string before = "[K]\n\"Before\"=dword:1\n";
    const std::string after = "\"After\"=\"kept\"\n";
    const ParseResult result = parseRegistry(kHeader + before + (c.last ? after + c.line : c.line + "\n" + after));
    ASSERT_TRUE(result.ok()) << result.error;
    ASSERT_EQ(result.document->keys.size(), 1u);
    EXPECT_EQ(result.document->keys[0].values, (std::vector<RegistryValue> { dword("Before", 1), text("After", "kept") }));
    ASSERT_EQ(result.unread.size(), 1u);
    EXPECT_EQ(result.unreadCount, 1u);
    const UnreadLine& unread = result.unread[0];
    const size_t line = c.last ? 6 : 5;
    EXPECT_EQ(unread.line, line);
    EXPECT_THAT(unread.error, HasSubstr("line " + std::to_string(line) + ": " + c.message));
    EXPECT_EQ(unread.key, "K");
    EXPECT_EQ(unread.value, c.value ? std::optional<std::string>(c.value) : std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(Malformed, OneBadLine,
    ::testing::Values(BadLine { "Garbage", "this is not a value", "unexpected text", nullptr },
        BadLine { "NotANumber", "\"Width\"=hello", "unknown value type", "Width" },
        BadLine { "InvalidUtf8", "\"A\"=\"\xC3\x28\"", "invalid UTF-8", "A" },
        BadLine { "InvalidUtf8Name", "\"\xC3\x28\"=\"x\"", "invalid UTF-8", nullptr },
        BadLine { "Overlong", "\"A\"=\"\xC0\xAF\"", "invalid UTF-8", "A" },
        BadLine { "TruncatedText", "\"A\"=\"no end", "unterminated quoted text", "A" },
        BadLine { "TruncatedName", "\"A=dword:1", "unterminated value name", nullptr },
        BadLine { "EscapedEndQuote", "\"A\"=\"ends in \\\"", "unterminated", "A" },
        BadLine { "BadDword", "\"A\"=dword:12345678a", "bad dword", "A" },
        BadLine { "EmptyDword", "\"A\"=dword:", "bad dword", "A" },
        BadLine { "NonHexDword", "\"A\"=dword:0x12", "bad dword", "A" },
        BadLine { "UnknownType", "\"A\"=qword:1", "unknown value type", "A" },
        BadLine { "TextAfterQuote", "\"A\"=\"x\" y", "unexpected text after", "A" },
        BadLine { "NoEquals", "\"A\" dword:1", "expected '='", "A" },
        BadLine { "BadHex", "\"A\"=hex:0g", "bad hex data", "A" },
        BadLine { "HexTrailingComma", "\"A\"=hex:01,", "bad hex data", "A" },
        BadLine { "HexPastEnd", "\"A\"=hex:01,\\", "hex data continues past the end", "A", true },
        BadLine { "ControlCharacter", "\"A\"=\"a\x01\"", "control character 0x01", "A" },
        BadLine { "NulByte", std::string("\"A\"=\"a\0\"", 7), "control character 0x00", "A" },
        BadLine { "LongLine", "\"A\"=\"" + std::string(kMaxRegistryLineBytes, 'x') + "\"", "line too long", "A" }),
    [](const auto& info) { return std::string(info.param.name); });

class BadKeyLine : public ::testing::TestWithParam<BadInput> { };

// The values under a key line that cannot be read belong to no key: they are unread too,
// up to the next key line, which reads as usual.
TEST_P(BadKeyLine, LeavesItsValuesUnreadAndTheNextKeyReads)
{
    const ParseResult result = parseRegistry(
        kHeader + "[Good]\n\"A\"=dword:1\n" + GetParam().text + "\n\"B\"=dword:2\n[Next]\n\"C\"=dword:3\n");
    ASSERT_TRUE(result.ok()) << result.error;
    ASSERT_EQ(result.document->keys.size(), 2u);
    EXPECT_EQ(result.document->keys[0].values, std::vector<RegistryValue> { dword("A", 1) });
    EXPECT_EQ(result.document->keys[1].values, std::vector<RegistryValue> { dword("C", 3) });
    ASSERT_EQ(result.unread.size(), 2u);
    EXPECT_THAT(result.unread[0].error, HasSubstr(std::string("line 5: ") + GetParam().message));
    EXPECT_THAT(result.unread[1].error, HasSubstr("line 6: value outside of a key"));
    EXPECT_EQ(result.unread[1].value, "B");
    EXPECT_EQ(result.unread[1].key, "");
}

INSTANTIATE_TEST_SUITE_P(Malformed, BadKeyLine,
    ::testing::Values(BadInput { "UnclosedKey", "[K", "key line does not end" },
        BadInput { "EmptyComponent", "[A\\\\B]", "invalid key path" },
        BadInput { "InvalidUtf8", "[K\xC3\x28]", "invalid UTF-8" },
        BadInput { "LoneCarriageReturn", "[K]\r\"X\"=dword:1", "control character 0x0d" }),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RegistryFormat, ValueBeforeAnyKeyIsUnread)
{
    const ParseResult result = parseRegistry(kHeader + "\"A\"=dword:1\n[K]\n\"B\"=dword:2\n");
    ASSERT_TRUE(result.ok()) << result.error;
    EXPECT_EQ(result.document->keys[0].values, std::vector<RegistryValue> { dword("B", 2) });
    ASSERT_EQ(result.unread.size(), 1u);
    EXPECT_THAT(result.unread[0].error, HasSubstr("line 3: value outside of a key"));
}

// A file of garbage costs no more memory than a bounded list of its bad lines.
TEST(RegistryFormat, UnreadLinesAreListedUpToTheLimitAndAllCounted)
{
    std::string garbage = kHeader + "[K]\n\"Kept\"=dword:1\n";
    for (size_t i = 0; i < 3 * kMaxListedUnreadLines; ++i) garbage += "x\n";
    const ParseResult result = parseRegistry(garbage);
    ASSERT_TRUE(result.ok()) << result.error;
    EXPECT_EQ(result.unread.size(), kMaxListedUnreadLines);
    EXPECT_EQ(result.unreadCount, 3 * kMaxListedUnreadLines);
    EXPECT_EQ(result.document->keys[0].values, std::vector<RegistryValue> { dword("Kept", 1) });
}

TEST(RegistryFormat, OversizeFileIsRefusedWithItsSize)
{
    std::string big = kHeader + "[K]\n";
    const std::string line = "\"V\"=\"" + std::string(1000, 'x') + "\"\n";
    while (big.size() <= kMaxRegistryFileBytes)
        big += line;
    const ParseResult result = parseRegistry(big);
    ASSERT_FALSE(result.ok());
    EXPECT_THAT(result.error, HasSubstr("file too large: " + std::to_string(big.size()) + " bytes"));
}

TEST(RegistryFormat, LongTextIsWrittenSoThatItReadsBack)
{
    // Quoted, this text would exceed the line limit; hex lines stay short.
    RegistryDocument doc;
    doc.keys.push_back({ "K", { text("Long", std::string(kMaxRegistryLineBytes, 'q')) } });
    const std::string written = serializeRegistry(doc);
    EXPECT_THAT(written, HasSubstr("\"Long\"=hex(1):"));
    EXPECT_EQ(parseOk(written), doc);
}

// Regression: lookups by scanning made a 4 MiB file of small values take minutes to read.
TEST(RegistryFormat, FileAtTheSizeLimitReadsInLinearTime)
{
    std::string values = kHeader + "[K]\n";
    std::string sections = kHeader;
    size_t count = 0;
    while (values.size() < kMaxRegistryFileBytes - 64 && sections.size() < kMaxRegistryFileBytes - 64) {
        values += "\"v" + std::to_string(count) + "\"=dword:1\n\"v" + std::to_string(count / 2) + "\"=-\n";
        sections += "[k" + std::to_string(count) + "\\s]\n[-k" + std::to_string(count / 2) + "]\n";
        ++count;
    }
    const auto start = std::chrono::steady_clock::now();
    const RegistryDocument manyValues = parseOk(values);
    const RegistryDocument manySections = parseOk(sections);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    ASSERT_EQ(manyValues.keys.size(), 1u);
    EXPECT_EQ(manyValues.keys[0].values.size(), count - (count + 1) / 2);
    EXPECT_GT(manySections.keys.size(), 1000u);
    EXPECT_LT(elapsed, std::chrono::seconds(20)); // scanning lookups took minutes
}
