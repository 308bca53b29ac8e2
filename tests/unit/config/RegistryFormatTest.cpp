// The registry-export text: round trips, kept unknown data, deletions, and refusals of
// malformed input with the line that is wrong.
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

class RegistryFormatRefuses : public ::testing::TestWithParam<BadInput> { };

TEST_P(RegistryFormatRefuses, WithTheLineAndTheReason)
{
    const ParseResult result = parseRegistry(GetParam().text);
    EXPECT_FALSE(result.ok());
    EXPECT_THAT(result.error, HasSubstr(GetParam().message));
}

INSTANTIATE_TEST_SUITE_P(Malformed, RegistryFormatRefuses,
    ::testing::Values(BadInput { "Empty", "", "line 1: missing header" },
        BadInput { "WrongHeader", "REGEDIT4\n\n[K]\n", "line 1: missing header" },
        BadInput { "Utf16", std::string("\xFF\xFEW\0i\0", 6), "line 1: the file is UTF-16" },
        BadInput { "Garbage", kHeader + "[K]\nthis is not a value\n", "line 4: unexpected text" },
        BadInput { "InvalidUtf8", kHeader + "[K]\n\"A\"=\"\xC3\x28\"\n", "line 4: invalid UTF-8" },
        BadInput { "Overlong", kHeader + "[K]\n\"A\"=\"\xC0\xAF\"\n", "line 4: invalid UTF-8" },
        BadInput { "TruncatedText", kHeader + "[K]\n\"A\"=\"no end\n", "line 4: unterminated quoted text" },
        BadInput { "TruncatedName", kHeader + "[K]\n\"A=dword:1\n", "line 4: unterminated value name" },
        BadInput { "EscapedEndQuote", kHeader + "[K]\n\"A\"=\"ends in \\\"\n", "line 4: unterminated" },
        BadInput { "BadDword", kHeader + "[K]\n\"A\"=dword:12345678a\n", "line 4: bad dword" },
        BadInput { "EmptyDword", kHeader + "[K]\n\"A\"=dword:\n", "line 4: bad dword" },
        BadInput { "NonHexDword", kHeader + "[K]\n\"A\"=dword:0x12\n", "line 4: bad dword" },
        BadInput { "UnknownType", kHeader + "[K]\n\"A\"=qword:1\n", "line 4: unknown value type" },
        BadInput { "ValueBeforeKey", kHeader + "\"A\"=dword:1\n", "line 3: value outside of a key" },
        BadInput { "UnclosedKey", kHeader + "[K\n", "line 3: key line does not end" },
        BadInput { "EmptyComponent", kHeader + "[A\\\\B]\n", "line 3: invalid key path" },
        BadInput { "TextAfterQuote", kHeader + "[K]\n\"A\"=\"x\" y\n", "line 4: unexpected text after" },
        BadInput { "NoEquals", kHeader + "[K]\n\"A\" dword:1\n", "line 4: expected '='" },
        BadInput { "BadHex", kHeader + "[K]\n\"A\"=hex:0g\n", "line 4: bad hex data" },
        BadInput { "HexTrailingComma", kHeader + "[K]\n\"A\"=hex:01,\n", "line 4: bad hex data" },
        BadInput { "HexPastEnd", kHeader + "[K]\n\"A\"=hex:01,\\", "line 4: hex data continues past the end" },
        BadInput { "ControlCharacter", kHeader + "[K]\n\"A\"=\"a\x01\"\n", "line 4: control character 0x01" },
        BadInput { "NulByte", kHeader + std::string("[K]\n\"A\"=\"a\0\"\n", 12), "line 4: control character 0x00" },
        BadInput { "LoneCarriageReturn", kHeader + "[K]\r\"A\"=dword:1\n", "line 3: control character 0x0d" },
        BadInput { "LongLine", kHeader + "[K]\n\"A\"=\"" + std::string(kMaxRegistryLineBytes, 'x') + "\"\n",
            "line 4: line too long" }),
    [](const auto& info) { return std::string(info.param.name); });

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
