// Whole picture files: a failed save never replaces a good file nor leaves a
// temporary one; a save's conversions stay on the picture; a failed load names
// the file and the reason; files agree with Pillow both ways once a codec exists.
#include "files/BmpCodec.h"
#include "files/PictureFiles.h"
#include "files/PngCodec.h"
#include "codec_test_support.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kaptivus::files {
namespace {

namespace fs = std::filesystem;
using pixels::Picture;
using pixels::PixelBGR;
using pixels::PixelFormat;

class PictureFilesTest : public ::testing::Test {
protected:
    testsupport::TempFolder dir;
    const fs::path folder = dir / "";
};

// 6 x 4, every pixel different, so flips and channel swaps show.
Picture Asymmetric(PixelFormat format = PixelFormat::Bits24)
{
    Picture p = Picture::create(6, 4, format);
    for (int y = 0; y < p.height(); ++y)
        for (int x = 0; x < p.width(); ++x)
            p.setPixel(x, y, PixelBGR{uint8_t(40 * y), uint8_t(200 - 30 * x), uint8_t(30 * x + 10)});
    return p;
}

std::string ReadFile(const fs::path& path)
{
    const std::vector<uint8_t> bytes = testsupport::ReadFile(path);
    return {bytes.begin(), bytes.end()};
}

void WriteFile(const fs::path& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

std::string RunPython(const std::string& script)
{
    std::vector<uint8_t> out;
    (void)testsupport::RunCommand("/usr/bin/python3 -c '" + script + "' 2>&1", out);
    return {out.begin(), out.end()};
}

// "r,g,b" of every pixel, rows top-down, as Pillow decodes the file.
std::string PillowPixels(const fs::path& file)
{
    return RunPython("from PIL import Image\nim = Image.open(\"" + file.string() + "\").convert(\"RGB\")\n"
                     "print(\" \".join(\"%d,%d,%d\" % p for p in im.getdata()))");
}

std::string PicturePixels(const Picture& p)
{
    std::string s;
    for (int y = 0; y < p.height(); ++y)
        for (int x = 0; x < p.width(); ++x) {
            const PixelBGR c = p.pixel(x, y);
            s += (s.empty() ? "" : " ") + std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b);
        }
    return s + "\n";
}

// Writes past this many bytes fail (EFBIG) while the object lives.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &m_old); }

private:
    rlimit m_old {};
};

TEST_F(PictureFilesTest, AFailedSaveKeepsTheOldFileAndLeavesNoTemporaryFile)
{
    // Picture placeholders refuse at the encoder; real codecs fail at the write.
    const std::pair<const char*, bool> cases[] = {
        {"shot.txt", false}, {"big.ico", false}, {"shot.bmp", true}, {"shot.png", true}};
    for (const auto& [name, limitFileSize] : cases) {
        SCOPED_TRACE(name);
        const fs::path target = folder / name;
        WriteFile(target, "the picture saved before");
        Picture picture = Picture::create(300, 300, PixelFormat::Bits24);
        SaveResult result;
        {
            std::optional<FileSizeLimit> limit;
            if (limitFileSize) limit.emplace(64);
            result = SavePicture(target.string(), picture, false);
        }
        EXPECT_NE(result.error.find(target.string()), std::string::npos) << result.error;
        EXPECT_EQ(ReadFile(target), "the picture saved before");
        EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
        fs::remove(target);
    }
    // A folder that is missing, or takes no new files (/proc does not, even for root).
    const fs::path locked = folder / "locked";
    fs::create_directory(locked);
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
    for (const fs::path& target :
         {folder / "missing/shot.bmp", ::geteuid() == 0 ? fs::path("/proc/shot.bmp") : locked / "shot.bmp"}) {
        Picture picture = Asymmetric();
        EXPECT_FALSE(SavePicture(target.string(), picture, false).ok()) << target;
        EXPECT_FALSE(fs::exists(target)) << target;
    }
    EXPECT_TRUE(fs::is_empty(locked));
    fs::permissions(locked, fs::perms::owner_all);
}

TEST_F(PictureFilesTest, ConversionsOfASaveStayOnThePicture)
{
    struct Case {
        const char* name;
        PixelFormat before;
        bool transparent;
        PixelFormat after;
    };
    const Case cases[] = {
        {"a.bmp", PixelFormat::DeviceDefault, false, PixelFormat::Bits24},
        {"a.BMP", PixelFormat::Bits8, false, PixelFormat::Bits8},
        {"a.jpg", PixelFormat::DeviceDefault, false, PixelFormat::DeviceDefault},
        {"a.gif", PixelFormat::Bits24, true, PixelFormat::Bits24},
        {"a.gif", PixelFormat::Bits24, false, PixelFormat::Bits24},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + (c.transparent ? " transparent" : ""));
        Picture picture = Asymmetric(c.before);
        (void)SavePicture((folder / c.name).string(), picture, c.transparent);
        EXPECT_EQ(picture.format(), c.after);
        EXPECT_EQ(picture.transparent(), c.transparent);
        EXPECT_EQ(picture.transparentColor(), c.transparent ? 0xFFFFFFu : 0u);
    }
}

// A hotkey's save writes from the shown picture as it is and leaves the
// format's changes on it afterwards: the same file, and the same picture in
// the end, as the save that converts first.
TEST_F(PictureFilesTest, WritingFromThePictureAsItIsGivesTheFileOfTheConvertedPicture)
{
    const pixels::DeviceFormat screen16{16, 16, 0xF800, 0x07E0, 0x001F};
    struct Case {
        const char* name;
        Picture picture;
        bool transparent;
    };
    Picture onScreen16 = Picture::create(6, 4, PixelFormat::DeviceDefault, screen16);
    const Picture source = Asymmetric();
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x) onScreen16.setPixel(x, y, source.pixel(x, y));
    Picture whiteCorner = Asymmetric(PixelFormat::DeviceDefault);
    whiteCorner.setPixel(0, 0, PixelBGR{255, 255, 255});
    const Case cases[] = {
        {"a.bmp", Asymmetric(PixelFormat::DeviceDefault), false},
        {"b.bmp", onScreen16, false},
        {"c.bmp", Asymmetric(PixelFormat::Bits8), false},
        {"d.gif", whiteCorner, true},
        {"e.gif", whiteCorner, false},
        {"f.gif", onScreen16, true},
        {"g.gif", Asymmetric(PixelFormat::Bits4), true},
        {"h.png", Asymmetric(PixelFormat::DeviceDefault), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Picture converted = c.picture;
        ASSERT_TRUE(SavePicture((folder / c.name).string(), converted, c.transparent).ok());
        const std::string convertedFile = ReadFile(folder / c.name);
        Picture shown = c.picture;
        const std::vector<uint8_t> rows = shown.bits();
        const std::string kept = (folder / ("kept-" + std::string(c.name))).string();
        const SaveResult written = SavePictureFile(kept, shown, c.transparent);
        ASSERT_TRUE(written.ok()) << written.error;
        EXPECT_EQ(ReadFile(kept), convertedFile);
        EXPECT_TRUE(shown.bits() == rows);
        EXPECT_EQ(shown.format(), c.picture.format());
        KeepSaveChanges(written.path, shown, c.transparent);
        EXPECT_EQ(shown.format(), converted.format());
        EXPECT_TRUE(shown.bits() == converted.bits());
        EXPECT_EQ(shown.transparent(), converted.transparent());
        EXPECT_EQ(shown.transparentColor(), converted.transparentColor());
    }
}

TEST_F(PictureFilesTest, AFailedLoadNamesTheFileAndTheReason)
{
    WriteFile(folder / "big.bmp", std::string(4096, 'B'));
    WriteFile(folder / "damaged.bmp", "BM not really a bitmap");
    WriteFile(folder / "damaged.png", "\x89PNG\r\n\x1a\n and then nothing");
    WriteFile(folder / "notes.txt", "text");
    fs::create_directory(folder / "folder.gif");
    ASSERT_EQ(::mkfifo((folder / "pipe.bmp").c_str(), 0600), 0); // must be refused, not waited on
    struct Case {
        const char* name;
        bool unknownType;
        const char* reason; // part of the message, when fixed
    };
    const Case cases[] = {{"notes.txt", true, "no picture type"}, {"missing.bmp", false, "No such file"},
        {"big.bmp", false, "larger than"}, {"folder.gif", false, "not a file"}, {"pipe.bmp", false, "not a file"},
        {"damaged.bmp", false, ""}, {"damaged.png", false, ""}};
    ReadLimits limits;
    limits.maxFileBytes = 1024;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = (folder / c.name).string();
        const LoadResult result = LoadPicture(path, 24, limits);
        EXPECT_EQ(result.unknownType, c.unknownType);
        EXPECT_TRUE(result.picture.isEmpty());
        EXPECT_NE(result.error.find(path + ": "), std::string::npos) << result.error;
        EXPECT_NE(result.error.find(c.reason), std::string::npos) << result.error;
        EXPECT_GT(result.error.size(), path.size() + 10) << result.error;
    }
}

TEST_F(PictureFilesTest, FilesAgreeWithPillowBothWays)
{
    Picture probe = Asymmetric();
    MemorySink sink;
    const bool bmp = WriteBmp(probe, sink).error.find("not supported yet") == std::string::npos;
    const bool png = WritePng(probe, sink).error.find("not supported yet") == std::string::npos;
    if (!bmp && !png) GTEST_SKIP() << "the BMP and PNG codecs are placeholders";
    for (const auto& [typed, format] : {std::pair {"Shot.BMP", "BMP"}, std::pair {"Shot.Png", "PNG"}}) {
        SCOPED_TRACE(typed);
        if (std::string(format) == "BMP" ? !bmp : !png) continue;
        Picture picture = Asymmetric();
        const SaveResult saved = SavePicture((folder / typed).string(), picture, false);
        ASSERT_TRUE(saved.ok()) << saved.error;
        EXPECT_EQ(saved.path, WithLowerExtension((folder / typed).string()));
        EXPECT_EQ(PillowPixels(saved.path), PicturePixels(picture));
        // A new picture file is as readable as the umask allows, not private.
        struct stat info {};
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ASSERT_EQ(::stat(saved.path.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0666 & ~mask);

        const fs::path theirs = folder / (std::string("pillow.") + format);
        ASSERT_EQ(RunPython("from PIL import Image\nim = Image.new(\"RGB\", (5, 3))\n"
                            "im.putdata([(50 * x, 80 * y, 255 - 40 * x) for y in range(3) for x in range(5)])\n"
                            "im.save(\"" + theirs.string() + "\", \"" + format + "\")"),
            "");
        const LoadResult loaded = LoadPicture(theirs.string(), 24);
        ASSERT_TRUE(loaded.ok()) << loaded.error;
        EXPECT_EQ(PicturePixels(loaded.picture), PillowPixels(theirs));
        EXPECT_EQ(loaded.picture.width() * loaded.picture.height(), 15);
    }
}

} // namespace
} // namespace kaptivus::files
