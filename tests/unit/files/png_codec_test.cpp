// PNG writing and reading: round trips over every picture depth, our files
// decoded by Pillow, and files of every PNG colour type written by Pillow and
// ImageMagick opened with the right pixels.
#include "files/PngCodec.h"
#include "jpeg_png_support.h"
#include "pixels/PictureRows.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace kaptivus::files {
namespace {

using namespace jpegpng;

// Runs Pillow once over files of ours, NAME.png each: one line a file with
// the mode and how many pixels are fully transparent, and NAME.ppm with the
// colours.
std::string PillowDescribe(const TempFolder& dir, const std::vector<std::string>& names)
{
    std::string command = std::string(kPython)
        + " -c 'import sys; from PIL import Image\n"
          "for name in sys.argv[1:]:\n"
          "    im = Image.open(name + \".png\")\n"
          "    a = im.convert(\"RGBA\").getchannel(\"A\")\n"
          "    print(im.mode, sum(1 for v in a.getdata() if v == 0))\n"
          "    im.convert(\"RGB\").save(name + \".ppm\")\n'";
    for (const std::string& name : names)
        command += " " + dir.str(name);
    std::vector<uint8_t> output;
    return RunCommand(command, output) ? std::string(output.begin(), output.end()) : "Pillow failed";
}

// A 2-bit picture whose table has three entries while one pixel uses index 3:
// the picture reads that pixel as black, and so must every reader of the file.
Picture ShortTableTwoBitPicture()
{
    const int width = 11, height = 5, stride = 4;
    std::vector<uint8_t> bits(static_cast<size_t>(stride * height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels::StoreIndex(bits.data() + y * stride, x, 2, 2, static_cast<unsigned>((x + y) % 4));
    Picture picture = Picture::adopt(width, height, PixelFormat::Custom, {}, std::move(bits), stride, 2);
    picture.setPalette({ 0x0000FF, 0x00FF00, 0xFF8000 });
    return picture;
}

// 4-4-4 words: a custom direct-colour layout.
Picture CustomTwelveBitPicture()
{
    const Picture fixture = FixtureIn(PixelFormat::Bits24, 9, 6);
    const int stride = 20;
    Picture picture = Picture::adopt(
        9, 6, PixelFormat::Custom, {}, std::vector<uint8_t>(stride * 6), stride, 16, 0xF00, 0x0F0, 0x00F);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 9; ++x)
            picture.setPixel(x, y, fixture.pixel(x, y));
    return picture;
}

// Every depth comes back with exactly its pixels, from our reader and from
// Pillow; indexed pictures stay paletted at their own bit depth, the rest is
// 8-bit RGB. A transparent picture's colour is transparent for Pillow too;
// pixels of other colours stay opaque, and our reader lays transparent pixels
// over white, giving the picture unchanged.
TEST(PngWrite, EveryDepthRoundTripsExactly)
{
    std::vector<Picture> sources;
    for (PixelFormat format : kEveryFormat)
        sources.push_back(FixtureIn(format));
    sources.push_back(ShortTableTwoBitPicture());
    sources.push_back(CustomTwelveBitPicture());
    for (PixelFormat format : { PixelFormat::Bits4, PixelFormat::Bits8, PixelFormat::Bits24, PixelFormat::Bits32 }) {
        Picture picture = FixtureIn(format, 12, 8);
        for (int x = 0; x < 5; ++x)
            picture.setPixel(x, 7, PixelBGR { 255, 255, 255 });
        picture.setTransparent(true, 0xFFFFFF);
        sources.push_back(std::move(picture));
    }
    TempFolder dir;
    std::vector<std::string> files;
    std::string modes;
    for (size_t i = 0; i < sources.size(); ++i) {
        SCOPED_TRACE("source " + std::to_string(i));
        const Picture& picture = sources[i];
        ASSERT_FALSE(picture.isEmpty());
        MemorySink sink;
        ASSERT_TRUE(WritePng(picture, sink).ok());
        ASSERT_GT(sink.bytes.size(), 26u);
        const bool indexed = picture.storageBits() <= 8;
        EXPECT_EQ(sink.bytes[24], indexed ? picture.storageBits() : 8); // IHDR bit depth
        EXPECT_EQ(sink.bytes[25], indexed ? 3 : 2); // IHDR colour type

        const ReadResult result = ReadPng(sink.bytes);
        ASSERT_TRUE(result.ok()) << result.error;
        EXPECT_EQ(result.picture.format(), PixelFormat::Bits24);
        EXPECT_EQ(MaxDifference(result.picture, picture), 0);

        int whites = 0;
        for (int y = 0; picture.transparent() && y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                whites += picture.pixel(x, y) == PixelBGR { 255, 255, 255 };
        files.push_back("file" + std::to_string(i));
        modes += std::string(indexed ? "P " : "RGB ") + std::to_string(whites) + "\n";
        WriteFile(dir / (files.back() + ".png"), sink.bytes);
    }
    // Pillow's colours are the stored ones, white under the transparent pixels.
    EXPECT_EQ(PillowDescribe(dir, files), modes);
    for (size_t i = 0; i < sources.size(); ++i)
        EXPECT_EQ(MaxDifference(ReadPnm(dir / (files[i] + ".ppm")), sources[i]), 0) << files[i];
}

// The chunks of a file in order, each with whether its CRC (over type and
// data) is right, by the bitwise CRC-32 of the PNG standard.
std::vector<std::pair<std::string, bool>> ChunksWithCrc(const std::vector<uint8_t>& file)
{
    auto be32 = [&file](size_t at) {
        return uint32_t(file[at]) << 24 | uint32_t(file[at + 1]) << 16 | uint32_t(file[at + 2]) << 8 | file[at + 3];
    };
    std::vector<std::pair<std::string, bool>> chunks;
    for (size_t at = 8; at + 12 <= file.size();) {
        const uint32_t size = be32(at);
        if (at + 12 + size > file.size()) break;
        uint32_t crc = 0xFFFFFFFFu;
        for (size_t i = at + 4; i < at + 8 + size; ++i) {
            crc ^= file[i];
            for (int bit = 0; bit < 8; ++bit)
                crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
        chunks.emplace_back(std::string(file.begin() + long(at) + 4, file.begin() + long(at) + 8),
            (crc ^ 0xFFFFFFFFu) == be32(at + 8 + size));
        at += 12 + size;
    }
    return chunks;
}

// Readers that stop at the last row never look at IEND, and a wrong CRC
// there once went unnoticed until a stricter reader refused the file. Every
// chunk of every kind of file, the empty end and split picture data included.
TEST(PngWrite, EveryChunkCarriesItsCrcTheEmptyEndToo)
{
    Picture indexed = FixtureIn(PixelFormat::Bits8, 12, 8);
    indexed.setTransparent(true, indexed.palette().at(0));
    Picture rgb = FixtureIn(PixelFormat::Bits32, 12, 8);
    rgb.setTransparent(true, 0xFFFFFF);
    // Noise that does not compress: more picture data than one IDAT chunk holds.
    Picture noise = Picture::create(800, 600, PixelFormat::Bits24);
    uint32_t state = 12345;
    for (int y = 0; y < noise.height(); ++y)
        for (int x = 0; x < noise.width(); ++x) {
            state = state * 1664525u + 1013904223u;
            noise.setPixel(x, y, PixelBGR { uint8_t(state >> 24), uint8_t(state >> 16), uint8_t(state >> 8) });
        }
    const std::pair<const char*, const Picture*> cases[] = { { "indexed", &indexed }, { "rgb", &rgb },
        { "noise", &noise } };
    for (const auto& [name, picture] : cases) {
        SCOPED_TRACE(name);
        MemorySink sink;
        ASSERT_TRUE(WritePng(*picture, sink).ok());
        const auto chunks = ChunksWithCrc(sink.bytes);
        ASSERT_FALSE(chunks.empty());
        EXPECT_EQ(chunks.front().first, "IHDR");
        EXPECT_EQ(chunks.back().first, "IEND");
        for (const auto& [type, crcRight] : chunks)
            EXPECT_TRUE(crcRight) << type;
        if (picture == &noise) {
            EXPECT_GT(std::count_if(chunks.begin(), chunks.end(), [](const auto& c) { return c.first == "IDAT"; }), 1);
        }
    }
}

// One PNG file of each colour type, plus 1-bit and 16-bit grey, a 4-bit
// palette with tRNS alphas and an interlaced file, written by Pillow and
// ImageMagick. Beside each NAME.png goes NAME.ppm: the 8-bit colours Pillow
// decodes from it (16-bit samples rounded to 8 bits) laid over white.
const char* const kForeignPngScript = R"PY(
import subprocess, sys
from PIL import Image
out, W, H = sys.argv[1], 13, 7
def ramp(k):
    return [(x * (37 + 11 * k) + y * (101 + 7 * k) + 13 * k) % 256 for y in range(H) for x in range(W)]
def expect(name, rgba=None):
    c = rgba or Image.open(out + name + '.png').convert('RGBA').tobytes()
    over = bytes((c[i] * c[i | 3] + 255 * (255 - c[i | 3]) + 127) // 255 for i in range(len(c)) if i % 4 < 3)
    open(out + name + '.ppm', 'wb').write(b'P6 %d %d 255\n' % (W, H) + over)
def save(name, im, **options):
    im.save(out + name + '.png', **options)
    expect(name)
rgba = Image.frombytes('RGBA', (W, H), bytes(v for p in zip(ramp(3), ramp(4), ramp(6), ramp(7)) for v in p))
grey = Image.frombytes('L', (W, H), bytes(ramp(0)))
palette = Image.frombytes('P', (W, H), bytes(v % 16 for v in ramp(2)))
palette.putpalette([(i * 53 + k * 97 + 7) % 256 for i in range(16) for k in range(3)])
save('grey1', grey.point(lambda v: 255 * (v > 127)).convert('1'))
save('grey8_keyed', grey, transparency=grey.getpixel((2, 1)))
save('palette4_alpha', palette, transparency=bytes((i * 67) % 256 for i in range(13)))
save('rgb8', rgba.convert('RGB'))
save('grey_alpha8', rgba.convert('LA'))
save('rgba8', rgba)
deep = [a * 256 + b for a, b in zip(ramp(0), ramp(5))]
Image.frombytes('I;16', (W, H), b''.join(v.to_bytes(2, 'little') for v in deep)).save(out + 'grey16.png')
expect('grey16', bytes(c for v in deep for c in ((v + 128) // 257,) * 3 + (255,)))
subprocess.check_call(['convert', out + 'rgba8.png', '-interlace', 'PNG', 'PNG32:' + out + 'rgba8_interlaced.png'])
expect('rgba8_interlaced', rgba.tobytes())
)PY";

// Files of every colour type, depth, interlacing and transparency open as
// 24-bit pictures whose pixels are the file's colours laid over white.
TEST(PngRead, FilesOfEveryColourTypeOpenWithTheirPixels)
{
    TempFolder dir;
    std::ofstream(dir / "make.py") << kForeignPngScript;
    ASSERT_EQ(RunTool(std::string(kPython) + " " + dir.str("make.py") + " " + dir.str("")), 0);
    const struct {
        const char* name;
        int depth, colourType, interlace; // as the IHDR says
    } files[]
        = { { "grey1", 1, 0, 0 }, { "grey8_keyed", 8, 0, 0 }, { "grey16", 16, 0, 0 }, { "palette4_alpha", 4, 3, 0 },
              { "rgb8", 8, 2, 0 }, { "grey_alpha8", 8, 4, 0 }, { "rgba8", 8, 6, 0 }, { "rgba8_interlaced", 8, 6, 1 } };
    for (const auto& file : files) {
        SCOPED_TRACE(file.name);
        const std::vector<uint8_t> png = ReadFile(dir / (std::string(file.name) + ".png"));
        ASSERT_GT(png.size(), 28u);
        EXPECT_EQ(std::vector<int>({ png[24], png[25], png[28] }),
            std::vector<int>({ file.depth, file.colourType, file.interlace }));
        const ReadResult result = ReadPng(png);
        ASSERT_TRUE(result.ok()) << result.error;
        EXPECT_EQ(result.picture.format(), PixelFormat::Bits24);
        EXPECT_EQ(MaxDifference(result.picture, ReadPnm(dir / (std::string(file.name) + ".ppm"))), 0);
    }
}

} // namespace
} // namespace kaptivus::files
