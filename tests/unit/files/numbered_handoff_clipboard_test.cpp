// A numbered save never replaces what holds its name; the clipboard's picture
// types are taken in order of fidelity and read defensively.
#include "config/DurableFile.h"
#include "files/BmpCodec.h"
#include "files/ClipboardPicture.h"
#include "files/JpegCodec.h"
#include "files/PictureFiles.h"
#include "files/PngCodec.h"
#include "bmp_fixtures.h"
#include "codec_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>

namespace kaptivus::files {
namespace {

namespace fs = std::filesystem;
using pixels::Picture;
using pixels::PixelFormat;

Picture Asymmetric() { return testing::Fixture(6, 4, PixelFormat::Bits24); }

std::string ReadText(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteText(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

enum class Holder { Nothing, File, DanglingLink, LinkToFile, Folder };

void Plant(Holder holder, const fs::path& name, const fs::path& victim)
{
    switch (holder) {
    case Holder::Nothing: break;
    case Holder::File: WriteText(name, "kept"); break;
    case Holder::DanglingLink: fs::create_symlink(victim, name); break;
    case Holder::LinkToFile:
        WriteText(victim, "victim");
        fs::create_symlink(victim, name);
        break;
    case Holder::Folder: fs::create_directory(name); break;
    }
}

TEST(NumberedSave, NewFileModeTakesOnlyAFreeNameAndLeavesWhatHoldsItUntouched)
{
    const struct {
        Holder holder;
        bool written;
    } cases[] = {
        {Holder::Nothing, true},       {Holder::File, false},   {Holder::DanglingLink, false},
        {Holder::LinkToFile, false},   {Holder::Folder, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.holder));
        testsupport::TempFolder dir;
        const fs::path name = dir / "MyPicture1.bmp";
        const fs::path victim = dir / "victim";
        Plant(c.holder, name, victim);
        Picture picture = Asymmetric();
        const SaveResult result = SavePicture(name.string(), picture, false, SaveMode::NewFile);
        EXPECT_EQ(result.ok(), c.written);
        EXPECT_EQ(result.nameTaken, !c.written);
        if (c.written) {
            const ReadResult back = ReadBmp(testsupport::ReadFile(name));
            ASSERT_TRUE(back.ok()) << back.error;
            EXPECT_EQ(back.picture.pixel(5, 3), picture.pixel(5, 3));
        }
        if (c.holder == Holder::File) {
            EXPECT_EQ(ReadText(name), "kept");
        }
        if (c.holder == Holder::LinkToFile) {
            EXPECT_EQ(ReadText(victim), "victim");
        }
        if (c.holder == Holder::DanglingLink) {
            EXPECT_FALSE(fs::exists(victim));
        }
        // No temporary file is left beside it.
        int entries = 0;
        for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir / "")) ++entries;
        EXPECT_EQ(entries, c.holder == Holder::Nothing ? 1 : (c.holder == Holder::LinkToFile ? 2 : 1));
    }
}

TEST(NumberedSave, NameIsTestedAsItWillBeWrittenSoAnUpperCaseDefaultFillsTheNextNumber)
{
    testsupport::TempFolder dir;
    WriteText(dir / "MyPicture1.gif", "kept");
    const auto exists = [](const std::string& name) { return fs::exists(fs::symlink_status(name)); };
    EXPECT_EQ(NumberedSavePath((dir / "").string(), "MyPicture", ".GIF", exists),
              (dir / "").string() + "/MyPicture2.gif");
}

TEST(ClipboardPicture, TypesAreTakenInOrderOfFidelity)
{
    const struct {
        std::vector<std::string> offered;
        std::optional<std::string> chosen;
    } cases[] = {
        {{"text/plain", "image/jpeg", "image/bmp", "image/png"}, "image/png"},
        {{"image/jpeg", "image/x-bmp"}, "image/x-bmp"},
        {{"image/jpeg", "text/uri-list"}, "image/jpeg"},
        {{"image/tiff", "text/plain", "TARGETS"}, std::nullopt},
        {{}, std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(ChooseClipboardPictureType(c.offered), c.chosen);
}

TEST(ClipboardPicture, EachTypeReadsBackThePictureAndBadBytesGiveAReason)
{
    const Picture original = Asymmetric();
    const struct {
        const char* type;
        CodecStatus (*write)(const Picture&, ByteSink&);
        bool exact;
    } cases[] = {
        {"image/png", WritePng, true},
        {"image/bmp", WriteBmp, true},
        {"image/x-bmp", WriteBmp, true},
        {"image/jpeg", [](const Picture& p, ByteSink& s) { return WriteJpeg(p, s); }, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        MemorySink sink;
        ASSERT_TRUE(c.write(original, sink));
        const ReadResult read = ReadClipboardPicture(c.type, sink.bytes, 24);
        ASSERT_TRUE(read.ok()) << read.error;
        EXPECT_EQ(read.picture.width(), 6);
        EXPECT_EQ(read.picture.height(), 4);
        if (c.exact) {
            EXPECT_EQ(read.picture.pixel(0, 3), original.pixel(0, 3));
        }
        // Cut short, or larger than the limit: a reason, never a picture.
        const std::vector<uint8_t> cut(sink.bytes.begin(), sink.bytes.begin() + long(sink.bytes.size() / 3));
        EXPECT_FALSE(ReadClipboardPicture(c.type, cut, 24).ok());
        ReadLimits small;
        small.maxFileBytes = sink.bytes.size() - 1;
        EXPECT_FALSE(ReadClipboardPicture(c.type, sink.bytes, 24, small).ok());
    }
    EXPECT_FALSE(ReadClipboardPicture("image/tiff", std::vector<uint8_t>{1, 2, 3}, 24).ok());
}

} // namespace
} // namespace kaptivus::files
