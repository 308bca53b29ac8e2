// PNG writing and reading: round trips over every picture depth, our files
// decoded by Pillow, and files of every PNG colour type and bit depth (made
// at test time by a small independent writer, Pillow and ImageMagick) opened
// with the right pixels.
#include "files/PngCodec.h"
#include "jpeg_png_support.h"
#include "pixels/PictureRows.h"

#include <gtest/gtest.h>
#include <sstream>

namespace kaptivus::files {
namespace {

using namespace jpegpng;

std::vector<std::string> ReadLines(const std::filesystem::path& path)
{
    const std::vector<uint8_t> text = ReadFile(path);
    std::istringstream in(std::string(text.begin(), text.end()));
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// Runs Pillow once over files of ours, NAME.png each: one line a file with
// the mode and how many pixels are fully transparent, and NAME.ppm with the
// colours.
std::vector<std::string> PillowDescribe(const TempFolder& dir, const std::vector<std::string>& names)
{
    std::string script = "import sys; from PIL import Image\n"
                         "for name in sys.argv[1:]:\n"
                         "    im = Image.open(name + \".png\")\n"
                         "    a = im.convert(\"RGBA\").getchannel(\"A\")\n"
                         "    print(im.mode, sum(1 for v in a.getdata() if v == 0))\n"
                         "    im.convert(\"RGB\").save(name + \".ppm\")\n";
    std::string command = std::string(kPython) + " -c '" + script + "'";
    for (const std::string& name : names)
        command += " " + dir.str(name);
    return RunTool(command + " > " + dir.str("pillow.txt")) == 0 ? ReadLines(dir / "pillow.txt")
                                                                 : std::vector<std::string> {};
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
    const size_t opaque = sources.size();
    for (PixelFormat format : { PixelFormat::Bits4, PixelFormat::Bits8, PixelFormat::Bits24, PixelFormat::Bits32 }) {
        Picture picture = FixtureIn(format, 12, 8);
        for (int x = 0; x < 5; ++x)
            picture.setPixel(x, 7, PixelBGR { 255, 255, 255 });
        picture.setTransparent(true, 0xFFFFFF);
        sources.push_back(std::move(picture));
    }
    TempFolder dir;
    std::vector<std::string> files, modes;
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
        for (int y = 0; i >= opaque && y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                whites += picture.pixel(x, y) == PixelBGR { 255, 255, 255 };
        files.push_back("file" + std::to_string(i));
        modes.push_back(std::string(indexed ? "P " : "RGB ") + std::to_string(whites));
        WriteFile(dir / (files.back() + ".png"), sink.bytes);
    }
    EXPECT_EQ(PillowDescribe(dir, files), modes);
    for (size_t i = 0; i < opaque; ++i) {
        SCOPED_TRACE("source " + std::to_string(i));
        EXPECT_EQ(MaxDifference(ReadPnm(dir / (files[i] + ".ppm")), sources[i]), 0);
    }
}

// Writes PNG files of every colour type and bit depth, interlaced or not,
// with and without tRNS, by hand (zlib and struct only, no PNG library), plus
// one by Pillow and one interlaced by ImageMagick. Beside each NAME.png goes
// NAME.rgba: the 8-bit straight RGBA a correct decoder sees (16-bit samples
// rounded to 8 bits), and cases.txt lists the names.
const char* const kForeignPngScript = R"PY(
import os, struct, subprocess, sys, zlib
from PIL import Image
out = sys.argv[1]
W, H = 13, 7
CH = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}
ADAM7 = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]
names = []

def chunk(kind, data):
    return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data) & 0xffffffff)

def pack(pixels, depth):
    samples = [s for p in pixels for s in p]
    if depth == 16:
        return b''.join(struct.pack('>H', s) for s in samples)
    per = 8 // depth
    samples += [0] * (-len(samples) % per)
    return bytes(sum(s << (8 - depth * (k + 1)) for k, s in enumerate(samples[i:i + per]))
                 for i in range(0, len(samples), per))

def to8(v, depth):
    return (v + 128) // 257 if depth == 16 else v * 255 // ((1 << depth) - 1)

def sample(x, y, k, depth):
    return (x * (37 + 11 * k) + y * (101 + 7 * k) + 13 * k) % (1 << depth)

def grid(f):
    return [[f(x, y) for x in range(W)] for y in range(H)]

def write(name, ctype, depth, rows, rgba, plte=None, trns=None):
    for interlace in (0, 1):
        raw = bytearray()
        for x0, y0, dx, dy in (ADAM7 if interlace else [(0, 0, 1, 1)]):
            xs = range(x0, W, dx)
            for y in (range(y0, H, dy) if xs else []):
                raw += b'\0' + pack([rows[y][x] for x in xs], depth)
        data = b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', W, H, depth, ctype, 0, 0, interlace))
        data += chunk(b'PLTE', bytes(c for rgb in plte for c in rgb)) if plte else b''
        data += chunk(b'tRNS', trns) if trns is not None else b''
        data += chunk(b'IDAT', zlib.compress(bytes(raw))) + chunk(b'IEND', b'')
        names.append(name + ('_interlaced' if interlace else ''))
        open(os.path.join(out, names[-1] + '.png'), 'wb').write(data)
        open(os.path.join(out, names[-1] + '.rgba'), 'wb').write(bytes(c for row in rgba for p in row for c in p))

for keyed in (False, True):
    tag = '_trns' if keyed else ''
    for depth in (1, 2, 4, 8, 16):
        rows = grid(lambda x, y: (sample(x, y, 0, depth),))
        write('grey%d%s' % (depth, tag), 0, depth, rows,
              grid(lambda x, y: (to8(rows[y][x][0], depth),) * 3 + (0 if keyed and rows[y][x] == rows[1][2] else 255,)),
              trns=struct.pack('>H', *rows[1][2]) if keyed else None)
    for depth in (1, 2, 4, 8):
        n = min(1 << depth, 200)
        plte = [((i * 53) % 256, (i * 97 + 7) % 256, (i * 151 + 3) % 256) for i in range(n)]
        alphas = bytes((i * 67) % 256 for i in range(max(1, n - 3)))
        rows = grid(lambda x, y: (sample(x, y, 1, 8) % n,))
        alpha = lambda i: (alphas[i] if i < len(alphas) else 255) if keyed else 255
        write('palette%d%s' % (depth, tag), 3, depth, rows, grid(lambda x, y: plte[rows[y][x][0]] + (alpha(rows[y][x][0]),)),
              plte=plte, trns=alphas if keyed else None)
    for depth in (8, 16):
        rows = grid(lambda x, y: tuple(sample(x, y, k, depth) for k in range(3)))
        write('rgb%d%s' % (depth, tag), 2, depth, rows,
              grid(lambda x, y: tuple(to8(v, depth) for v in rows[y][x]) + (0 if keyed and rows[y][x] == rows[1][2] else 255,)),
              trns=struct.pack('>HHH', *rows[1][2]) if keyed else None)
for depth in (8, 16):
    for name, ctype, ks in (('grey_alpha', 4, (2, 5)), ('rgba', 6, (3, 4, 6, 7))):
        rows = grid(lambda x, y: tuple(sample(x, y, k, depth) for k in ks))
        eight = grid(lambda x, y: tuple(to8(v, depth) for v in rows[y][x]))
        write('%s%d' % (name, depth), ctype, depth, rows, eight if ctype == 6 else
              grid(lambda x, y: eight[y][x][:1] * 3 + eight[y][x][1:]))

expected = bytes(c for y in range(H) for x in range(W) for c in
                 (sample(x, y, 3, 8), sample(x, y, 4, 8), sample(x, y, 6, 8), sample(x, y, 7, 8)))
image = Image.frombytes('RGBA', (W, H), expected)
image.save(os.path.join(out, 'pillow_rgba.png'))
image.quantize(colors=16).save(os.path.join(out, 'pillow_palette.png'))
paletted = Image.open(os.path.join(out, 'pillow_palette.png')).convert('RGBA').tobytes()
for name, data in (('pillow_rgba', expected), ('pillow_palette', paletted), ('magick_interlaced', expected)):
    open(os.path.join(out, name + '.rgba'), 'wb').write(data)
    names.append(name)
subprocess.check_call(['convert', os.path.join(out, 'pillow_rgba.png'), '-interlace', 'PNG',
                       'PNG32:' + os.path.join(out, 'magick_interlaced.png')])
open(os.path.join(out, 'cases.txt'), 'w').write('\n'.join(names) + '\n')
)PY";

// Files of every colour type, depth, interlacing and transparency open as
// 24-bit pictures whose pixels are the file's colours laid over white.
TEST(PngRead, FilesOfEveryColourTypeOpenWithTheirPixels)
{
    TempFolder dir;
    std::ofstream(dir / "make.py") << kForeignPngScript;
    ASSERT_EQ(RunTool(std::string(kPython) + " " + dir.str("make.py") + " " + dir.str("")), 0);
    const std::vector<std::string> names = ReadLines(dir / "cases.txt");
    EXPECT_EQ(names.size(), 2u * (10 + 8 + 8) + 3);
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const ReadResult result = ReadPng(ReadFile(dir / (name + ".png")));
        ASSERT_TRUE(result.ok()) << result.error;
        ASSERT_EQ(result.picture.format(), PixelFormat::Bits24);
        ASSERT_EQ(result.picture.width(), 13);
        ASSERT_EQ(result.picture.height(), 7);
        const std::vector<uint8_t> rgba = ReadFile(dir / (name + ".rgba"));
        ASSERT_EQ(rgba.size(), 13u * 7u * 4u);
        int wrong = 0;
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 13; ++x) {
                const uint8_t* s = rgba.data() + (y * 13 + x) * 4;
                const auto over = [a = unsigned { s[3] }](unsigned v) {
                    return static_cast<uint8_t>((v * a + 255 * (255 - a) + 127) / 255);
                };
                wrong += !(result.picture.pixel(x, y) == PixelBGR { over(s[2]), over(s[1]), over(s[0]) });
            }
        EXPECT_EQ(wrong, 0);
    }
}

} // namespace
} // namespace kaptivus::files
