// Helpers of the GIF tests: pictures built pixel by pixel, temporary files, and
// the outside decoders (Pillow, ImageMagick, giflib's tools) run as programs.
#pragma once

#include "codec_test_support.h"
#include "files/Codec.h"
#include "files/GifImage.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace kaptivus::files::test {

inline pixels::Color Rgb(int r, int g, int b)
{
    return static_cast<pixels::Color>(r | g << 8 | b << 16);
}

inline pixels::PixelBGR Pixel(pixels::Color c)
{
    return pixels::ColorToPixel(c);
}

// A 24-bit picture whose pixel i (row by row) is colours[i % size].
inline pixels::Picture TrueColourPicture(int width, int height, const std::vector<pixels::Color>& colours)
{
    pixels::Picture picture = pixels::Picture::create(width, height, pixels::PixelFormat::Bits24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.setPixel(x, y, Pixel(colours[static_cast<size_t>(y * width + x) % colours.size()]));
    return picture;
}

inline std::filesystem::path TempPath(const std::string& name)
{
    const char* dir = std::getenv("TMPDIR");
    return std::filesystem::path(dir && *dir ? dir : "/tmp") / name;
}

using testsupport::ReadFile;
using testsupport::WriteFile;

// Standard output of a shell command, and whether it exited with 0.
struct CommandOutput {
    std::string text;
    bool ok = false;
};

inline CommandOutput Run(const std::string& command)
{
    std::vector<uint8_t> output;
    CommandOutput result;
    result.ok = testsupport::RunCommand(command + " 2>/dev/null", output);
    result.text.assign(output.begin(), output.end());
    return result;
}

// What Pillow makes of the first image of a GIF file.
struct OutsideDecode {
    std::string version;
    int width = 0;
    int height = 0;
    int transparentIndex = -1;
    std::vector<pixels::Color> palette;
    std::vector<int> indices;
    bool ok = false;
};

inline OutsideDecode DecodeWithPillow(const std::filesystem::path& gif)
{
    const std::filesystem::path script = TempPath("gif_decode.py");
    {
        std::ofstream out(script);
        out << "import sys\n"
               "from PIL import Image\n"
               "im = Image.open(sys.argv[1])\n"
               "print(im.info.get('version', b'').decode(), im.width, im.height, im.info.get('transparency', -1))\n"
               "pal = im.getpalette() if im.mode == 'P' else [v for i in range(256) for v in (i, i, i)]\n"
               "print(len(pal) // 3, ' '.join('%d' % (pal[i] | pal[i + 1] << 8 | pal[i + 2] << 16)"
               " for i in range(0, len(pal) - 2, 3)))\n"
               "print(' '.join(str(v) for v in im.getdata()))\n";
    }
    const CommandOutput run = Run("/usr/bin/python3 " + script.string() + " " + gif.string());
    OutsideDecode decode;
    std::istringstream in(run.text);
    size_t colours = 0;
    if (!(in >> decode.version >> decode.width >> decode.height >> decode.transparentIndex >> colours)) return decode;
    decode.palette.resize(colours);
    for (auto& c : decode.palette)
        in >> c;
    decode.indices.resize(static_cast<size_t>(decode.width) * static_cast<size_t>(decode.height));
    for (auto& i : decode.indices)
        in >> i;
    decode.ok = run.ok && !in.fail();
    return decode;
}

inline std::vector<uint8_t> GifBytes(const GifImage& image)
{
    MemorySink sink;
    if (!WriteGifImage(image, sink)) return {};
    return sink.bytes;
}

// The 24-bit colour of every pixel, rows from the top.
inline std::vector<pixels::Color> PixelColours(const pixels::Picture& picture)
{
    std::vector<pixels::Color> out;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const pixels::PixelBGR p = picture.pixel(x, y);
            out.push_back(Rgb(p.r, p.g, p.b));
        }
    return out;
}

} // namespace kaptivus::files::test
