// The name rules of picture files: splitting, the extension a dialog filter
// forces, the filter variants, the codec an extension selects, and the first
// free numbered name.
#include "files/PictureFiles.h"

#include <gtest/gtest.h>

#include <set>

namespace kaptivus::files {
namespace {

TEST(PictureFileNames, SplitKeepsFolderAndTakesTheExtensionFromTheLastPointOfTheFileName)
{
    struct Case {
        const char* name;
        NameParts parts;
    };
    const Case cases[] = {{"/pics/Shot.GIF", {"/pics/", "Shot", ".GIF"}}, {"/pics.old/shot", {"/pics.old/", "shot", ""}},
        {"a.b.jpeg", {"", "a.b", ".jpeg"}}, {"/x/", {"/x/", "", ""}}, {"/x/.hidden", {"/x/", "", ".hidden"}},
        {"", {"", "", ""}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const NameParts parts = SplitFileName(c.name);
        EXPECT_EQ(parts.folder, c.parts.folder);
        EXPECT_EQ(parts.base, c.parts.base);
        EXPECT_EQ(parts.extension, c.parts.extension);
        EXPECT_EQ(parts.folder + parts.base + parts.extension, c.name);
    }
}

TEST(PictureFileNames, ExtensionIsLowerCasedAndSelectsTheCodec)
{
    struct Case {
        const char* name;
        const char* lowered;
        PictureType type;
    };
    const Case cases[] = {{"/pics/Shot.GIF", "/pics/Shot.gif", PictureType::Gif}, {"A.JPEG", "A.jpeg", PictureType::Jpeg},
        {"a.Jpg", "a.jpg", PictureType::Jpeg}, {"/Dir.BMP/x.bmp", "/Dir.BMP/x.bmp", PictureType::Bmp},
        {"i.ICO", "i.ico", PictureType::Ico}, {"m.EMF", "m.emf", PictureType::Emf}, {"m.Wmf", "m.wmf", PictureType::Wmf},
        {"p.PNG", "p.png", PictureType::Png}, {"Notes.TXT", "Notes.txt", PictureType::Unknown},
        {"/a.gif/b", "/a.gif/b", PictureType::Unknown},
        {"x.gif.bak", "x.gif.bak", PictureType::Unknown}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(WithLowerExtension(c.name), c.lowered);
        EXPECT_EQ(PictureTypeOfName(c.name), c.type);
    }
}

TEST(PictureFileNames, ApplyFilterExtensionMakesTheNameAgreeWithTheFilter)
{
    struct Case {
        const char* name;
        int filterIndex;
        const char* defaultExt;
        const char* result;
    };
    const Case cases[] = {
        // "JPEG Image File (*.jpeg)" forces its extension whatever was typed.
        {"/p/a.bmp", 4, ".GIF", "/p/a.jpeg"},
        // "All": a name without extension, or an icon, gets the stored default as it is.
        {"/p/a", 1, ".GIF", "/p/a.GIF"}, {"/p/a.ico", 1, ".GIF", "/p/a.GIF"}, {"/p/a.txt", 1, ".JPEG", "/p/a.JPEG"},
        // "All" keeps the extension of a type a save writes, in lower case.
        {"/p/a.JPG", 1, ".GIF", "/p/a.jpg"}, {"/p/a.Png", 1, ".GIF", "/p/a.png"}, {"/p.d/a", 1, ".BMP", "/p.d/a.BMP"},
        // Entries 2 to 9 in order; an index no filter has leaves the name alone.
        {"a.x", 2, ".BMP", "a.gif"}, {"a.x", 3, ".BMP", "a.jpg"}, {"a", 5, ".GIF", "a.bmp"}, {"a.gif", 6, ".GIF", "a.ico"},
        {"a.gif", 7, ".GIF", "a.emf"}, {"a.gif", 8, ".GIF", "a.wmf"}, {"a.gif", 9, ".GIF", "a.png"},
        {"a.Txt", 10, ".GIF", "a.Txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " #" + std::to_string(c.filterIndex));
        EXPECT_EQ(ApplyFilterExtension(c.name, c.filterIndex, c.defaultExt), c.result);
    }
}

TEST(PictureFileNames, FilterVariantsDifferOnlyInTheFirstEntry)
{
    struct Case {
        const char* defaultExt;
        const char* caption;
        const char* patterns;
    };
    const Case cases[] = {
        {".GIF", "All (*.gif;*.jpg;*.jpeg;*.bmp;*.ico;*.emf;*.wmf)", "*.gif;*.jpg;*.jpeg;*.bmp;*.ico;*.emf;*.wmf;*.png"},
        {".BMP", "All (*.bmp;*.jpg;*.jpeg;*.gif;*.ico;*.emf;*.wmf)", "*.bmp;*.jpg;*.jpeg;*.gif;*.ico;*.emf;*.wmf;*.png"},
        {".WMF", "All (*.wmf;*.jpg;*.jpeg;*.bmp;*.ico;*.emf;*.gif)", "*.wmf;*.jpg;*.jpeg;*.bmp;*.ico;*.emf;*.gif;*.png"},
        {".PNG", "All (*.png;*.jpg;*.jpeg;*.bmp;*.ico;*.emf;*.wmf;*.gif)",
         "*.png;*.jpg;*.jpeg;*.bmp;*.ico;*.emf;*.wmf;*.gif"},
    };
    const std::vector<FilterEntry> rest = {{"GIF Image (*.gif)", "*.gif"}, {"JPEG Image File (*.jpg)", "*.jpg"},
        {"JPEG Image File (*.jpeg)", "*.jpeg"}, {"Bitmaps (*.bmp)", "*.bmp"}, {"Icons (*.ico)", "*.ico"},
        {"Enhanced Metafiles (*.emf)", "*.emf"}, {"Metafiles (*.wmf)", "*.wmf"}, {"PNG Image (*.png)", "*.png"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.defaultExt);
        const auto entries = SaveFilterVariant(c.defaultExt);
        ASSERT_TRUE(entries.has_value());
        ASSERT_EQ(entries->size(), 9u);
        EXPECT_EQ(entries->front(), (FilterEntry{c.caption, c.patterns}));
        EXPECT_EQ(std::vector<FilterEntry>(entries->begin() + 1, entries->end()), rest);
    }
    // The comparison is case-sensitive: anything else keeps the dialog's filter.
    for (const char* other : {".gif", "GIF", "", ".TIF", ".ICO"})
        EXPECT_FALSE(SaveFilterVariant(other).has_value()) << other;
}

TEST(PictureFileNames, NumberedPathIsTheFirstFreeNumberWithTheExtensionAsWritten)
{
    struct Case {
        const char* label;
        const char* folder;
        const char* base;
        const char* ext;
        std::set<std::string> existing;
        const char* expected;
    };
    const Case cases[] = {
        {"first", "/tmp/shots", "MyPicture", ".GIF", {}, "/tmp/shots/MyPicture1.gif"},
        {"gap after a deleted file", "/s", "MyPicture", ".GIF", {"/s/MyPicture1.gif", "/s/MyPicture3.gif"},
            "/s/MyPicture2.gif"},
        // The name tested is the one that will be written: an upper-case file
        // of the same number is another file on this system.
        {"tested as written", "/s", "P", ".JPEG", {"/s/P1.jpeg", "/s/P2.JPEG"}, "/s/P2.jpeg"},
        {"empty base name", "/s", "", ".BMP", {"/s/1.bmp"}, "/s/2.bmp"},
        // A folder given with its trailing separator keeps it; the doubled one is harmless.
        {"folder with separator", "/tmp/", "MyPicture", ".GIF", {}, "/tmp//MyPicture1.gif"},
        {"root folder stored empty", "", "MyPicture", ".PNG", {}, "/MyPicture1.png"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const auto path = NumberedSavePath(c.folder, c.base, c.ext,
                                           [&](const std::string& name) { return c.existing.count(name) > 0; });
        ASSERT_TRUE(path.has_value());
        EXPECT_EQ(*path, c.expected);
    }
    EXPECT_EQ(NumberedSavePath("/s", "P", ".GIF", [](const std::string&) { return true; }, 50), std::nullopt);
}

} // namespace
} // namespace kaptivus::files
