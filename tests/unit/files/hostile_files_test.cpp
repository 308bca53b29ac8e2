// Files made to freeze the window or exhaust memory are read or refused with
// bounded work: small files claiming pictures of 11585 x 11585, progressive
// JPEGs of hundreds of scans, icons naming one damaged image 65,535 times,
// huge files of the wrong type. Each load runs in a child process whose peak
// resident memory is checked as a coarse bound.
#include "files/GifPicture.h"
#include "files/IcoCodec.h"
#include "files/JpegCodec.h"
#include "files/PngCodec.h"
#include "hostile_files.h"
#include "jpeg_png_support.h"

#include <functional>
#include <gtest/gtest.h>

namespace kaptivus::files {
namespace {

using namespace hostile;
using jpegpng::FixtureIn;
using jpegpng::RepeatLastScan;
using pixels::Picture;
using pixels::PixelFormat;
using testsupport::RunTool;
using testsupport::TempFolder;
using testsupport::WriteFile;

constexpr long kPeakBoundKb = 200 * 1024;
constexpr uint32_t kBombSide = 11585; // 134 million pixels: 512 MiB at 32 bits

std::vector<uint8_t> Written(const std::function<CodecStatus(ByteSink&)>& write)
{
    MemorySink sink;
    EXPECT_TRUE(write(sink).ok());
    return sink.bytes;
}

// Start-of-frame segments: FF C0 (baseline) or FF C2 (progressive), length,
// precision, then height and width as 16-bit big-endian words.
std::vector<uint8_t> ClaimJpegSize(std::vector<uint8_t> jpeg, uint32_t width, uint32_t height)
{
    for (size_t i = 0; i + 9 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && (jpeg[i + 1] == 0xC0 || jpeg[i + 1] == 0xC2)) {
            jpeg[i + 5] = static_cast<uint8_t>(height >> 8), jpeg[i + 6] = static_cast<uint8_t>(height);
            jpeg[i + 7] = static_cast<uint8_t>(width >> 8), jpeg[i + 8] = static_cast<uint8_t>(width);
            return jpeg;
        }
    ADD_FAILURE() << "no start-of-frame segment";
    return jpeg;
}

std::vector<uint8_t> JpegClaiming(uint32_t side)
{
    const Picture small = FixtureIn(PixelFormat::Bits24, 16, 16);
    return ClaimJpegSize(Written([&](ByteSink& s) { return WriteJpeg(small, s); }), side, side);
}

// A 4 x 4 image on a logical screen of side x side, which the reader fills.
std::vector<uint8_t> GifScreen(uint32_t side)
{
    Picture small = FixtureIn(PixelFormat::Bits8, 4, 4);
    std::vector<uint8_t> gif = Written([&](ByteSink& s) { return WriteGif(small, s); });
    testing::Put(gif, 6, side, 2);
    testing::Put(gif, 8, side, 2);
    return gif;
}

// Each bomb is refused on its header, whatever the rest holds; the same file
// claiming 300 x 300 opens, so the refusal is the size and nothing else.
TEST(HostileFiles, DecompressionBombsAreRefusedBeforeDecoding)
{
    const struct {
        const char* what;
        const char* extension;
        std::function<std::vector<uint8_t>(uint32_t)> build;
        size_t maxBytes; // the bomb's own size
    } cases[] = {
        { "run-length bitmap", ".bmp", [](uint32_t s) { return RleBmp(int32_t(s), int32_t(s)); }, 120 },
        { "JPEG header", ".jpg", JpegClaiming, 3000 },
        { "PNG of black", ".png", [](uint32_t s) { return BlackPng(s, s); }, 900'000 },
        { "GIF screen", ".gif", GifScreen, 1000 },
        { "icon of a PNG", ".ico", [](uint32_t s) { return IconOfOneImage(BlackPng(s, s), 1); }, 900'000 },
    };
    TempFolder dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string bomb = dir.str(std::string("bomb") + c.extension);
        const std::vector<uint8_t> bytes = c.build(kBombSide);
        EXPECT_LE(bytes.size(), c.maxBytes);
        WriteFile(bomb, bytes);
        const ChildLoad refused = LoadInChild(bomb);
        EXPECT_EQ(refused.error,
            "Cannot read " + bomb
                + ": the picture is 11585 x 11585 pixels, more than the 100 million pixels a picture may have");
        EXPECT_LT(refused.peakKb, kPeakBoundKb);

        const std::string fair = dir.str(std::string("fair") + c.extension);
        WriteFile(fair, c.build(300));
        const ChildLoad opened = LoadInChild(fair);
        EXPECT_EQ(opened.error, "");
        EXPECT_EQ(opened.width, 300);
        EXPECT_EQ(opened.height, 300);
    }
}

// The scans a progressive file may have are counted against its size: 300
// scans open on a small picture but not on one of 16 million pixels, whose
// limit is 2^31 / 16 million = 134 scans; a few scans still open at that size.
TEST(HostileFiles, ProgressiveJpegOfManyScansIsRefusedByItsSize)
{
    TempFolder dir;
    testsupport::WritePpm(dir / "source.ppm", FixtureIn(PixelFormat::Bits24, 64, 64));
    ASSERT_EQ(RunTool("cjpeg -progressive -outfile " + dir.str("p.jpg") + " " + dir.str("source.ppm")), 0);
    const std::vector<uint8_t> progressive = testsupport::ReadFile(dir / "p.jpg");
    const struct {
        const char* what;
        int scans;
        uint32_t side;
        const char* error;
    } cases[] = {
        { "300 scans, 64 x 64", 300, 64, "" },
        { "300 scans, 4000 x 4000", 300, 4000, "the file has more than 134 scans, too many for a picture of its size" },
        { "20 scans, 4000 x 4000", 20, 4000, "" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = dir.str("scans.jpg");
        WriteFile(path, ClaimJpegSize(RepeatLastScan(progressive, c.scans), c.side, c.side));
        const ChildLoad loaded = LoadInChild(path);
        EXPECT_EQ(loaded.error, *c.error ? "Cannot read " + path + ": " + c.error : "");
        EXPECT_EQ(loaded.width, *c.error ? 0 : int(c.side));
        EXPECT_LT(loaded.peakKb, kPeakBoundKb);
    }
}

// An icon image as stored: a bitmap of doubled height (colour rows, then the
// AND mask) without the file header.
std::vector<uint8_t> IconBitmap(int32_t width, int32_t height, std::vector<uint8_t> rows)
{
    const std::vector<uint8_t> bmp = testing::BuildBmp({ 40, width, 2 * height, 32, 0, 0, {}, {}, std::move(rows) });
    return { bmp.begin() + 14, bmp.end() };
}

// Every distinct image is decoded at most once, and the images tried are
// bounded in number: a directory that names one damaged PNG 65,535 times
// costs one decode; a good image behind it still opens; a thousand distinct
// damaged images stop after 256 tries.
TEST(HostileFiles, IconOfManyEntriesDecodesEachImageOnce)
{
    const Picture large = FixtureIn(PixelFormat::Bits24, 1200, 900);
    std::vector<uint8_t> damaged = Written([&](ByteSink& s) { return WritePng(large, s); });
    damaged[damaged.size() / 2] ^= 0x5A;
    const std::vector<uint8_t> good = IconBitmap(2, 2, std::vector<uint8_t>(2 * 8 + 2 * 4, 0x80));
    std::vector<std::vector<uint8_t>> many(999, IconBitmap(256, 256, {}));
    const struct {
        const char* what;
        std::vector<uint8_t> icon;
        int width; // 0: refused
        int attempts;
    } cases[] = {
        { "65,535 entries, one damaged PNG", IconOfOneImage(damaged, 65535), 0, 1 },
        { "65,534 entries, then a good image", IconOfOneImage(damaged, 65534, { good }), 2, 2 },
        { "1,000 distinct damaged bitmaps", IconOfOneImage(IconBitmap(256, 256, {}), 1, many), 0, 256 },
    };
    TempFolder dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        IcoWork work;
        const ReadResult read = ReadIco(c.icon, {}, &work);
        EXPECT_EQ(read.ok(), c.width != 0) << read.error;
        EXPECT_EQ(read.picture.width(), c.width);
        EXPECT_EQ(work.attempts, c.attempts);
        WriteFile(dir / "many.ico", c.icon);
        const ChildLoad loaded = LoadInChild(dir.str("many.ico"));
        EXPECT_EQ(loaded.width, c.width) << loaded.error;
        EXPECT_EQ(loaded.error.empty(), c.width != 0);
        EXPECT_LT(loaded.peakKb, kPeakBoundKb);
    }
}

// A file of 400 MB (sparse, so it costs no disk) whose start is not its
// type's is refused on its first bytes, before it is read into memory.
TEST(HostileFiles, HugeFileOfTheWrongTypeIsRefusedBeforeItIsRead)
{
    const std::pair<const char*, const char*> types[] = {
        { ".bmp", "not a BMP file" },
        { ".gif", "not a GIF file" },
        { ".jpg", "not a JPEG file" },
        { ".png", "not a PNG file" },
        { ".ico", "not an icon file" },
        { ".emf", "not an EMF file" },
        { ".wmf", "not a WMF file" },
    };
    TempFolder dir;
    for (const auto& [extension, reason] : types) {
        SCOPED_TRACE(extension);
        const std::string path = dir.str(std::string("text") + extension);
        const std::string text = "Dear diary, this is not a picture at all.\n";
        WriteFile(path, Bytes(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
        ASSERT_EQ(::truncate(path.c_str(), off_t { 400 } << 20), 0);
        const ChildLoad loaded = LoadInChild(path);
        EXPECT_EQ(loaded.error, "Cannot read " + path + ": " + reason);
        EXPECT_LT(loaded.peakKb, 100 * 1024);
    }
}

// A file that passes its signature is read whole into one buffer of its
// size, never into one that grows by doubling: 300 MB are held once.
TEST(HostileFiles, LargeFileIsHeldOnceWhileRead)
{
    TempFolder dir;
    const std::string path = dir.str("large.bmp");
    const uint8_t start[] = { 'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 200, 0, 0, 0 };
    WriteFile(path, start);
    ASSERT_EQ(::truncate(path.c_str(), off_t { 300 } << 20), 0);
    const ChildLoad loaded = LoadInChild(path);
    EXPECT_EQ(loaded.error, "Cannot read " + path + ": unknown bitmap header size 200");
    EXPECT_GT(loaded.peakKb, 300 * 1024) << "the file was read";
    EXPECT_LT(loaded.peakKb, 400 * 1024);
}

} // namespace
} // namespace kaptivus::files
