// Shared by the BMP and icon tests: an asymmetric coloured picture in every
// format, a sink that fails, a private temp folder and the independent
// decoders (ImageMagick's convert, Pillow) run on real files.
#pragma once

#include "codec_test_support.h"
#include "files/Codec.h"
#include "pixels/PictureRows.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace kaptivus::files::testing {

using pixels::Picture;
using pixels::PixelBGR;
using pixels::PixelFormat;
using testsupport::FailingSink;
using testsupport::ReadFile;
using testsupport::RunCommand;
using testsupport::TempFolder;
using testsupport::WriteFile;
using testsupport::WritePpm;

inline const std::vector<PixelFormat>& OwnFormats()
{
    static const std::vector<PixelFormat> formats { PixelFormat::Bits1, PixelFormat::Bits4, PixelFormat::Bits8,
        PixelFormat::Bits15, PixelFormat::Bits16, PixelFormat::Bits24, PixelFormat::Bits32 };
    return formats;
}

// Every pixel differs from its neighbours and from its mirror images, so a
// flip, a shifted row or swapped red and blue show; the corners are pure red,
// green, blue and white, and a black band runs across the middle.
inline Picture Fixture(int width, int height, PixelFormat format)
{
    Picture p = Picture::create(width, height, PixelFormat::Bits24);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<PixelBGR*>(p.scanLine(y)); // 24 bits: blue, green, red bytes
        for (int x = 0; x < width; ++x)
            row[x] = PixelBGR { static_cast<uint8_t>((x * y * 29 + 7) & 0xFF), static_cast<uint8_t>(255 - y * 23),
                static_cast<uint8_t>(x * 17 + 3) };
    }
    for (int x = 0; x < width; ++x)
        p.setPixel(x, height / 2, PixelBGR {});
    p.setPixel(0, 0, { 0, 0, 255 });
    p.setPixel(width - 1, 0, { 0, 255, 0 });
    p.setPixel(0, height - 1, { 255, 0, 0 });
    p.setPixel(width - 1, height - 1, { 255, 255, 255 });
    p.convertTo(format);
    return p;
}

inline std::vector<PixelBGR> PixelsOf(const Picture& p)
{
    std::vector<PixelBGR> out(static_cast<size_t>(p.width()) * static_cast<size_t>(p.height()));
    const pixels::PictureRowReader reader(p);
    for (int y = 0; y < p.height(); ++y)
        reader.read(y, 0, p.width(), out.data() + static_cast<size_t>(y) * static_cast<size_t>(p.width()));
    return out;
}

// Channels narrower than 8 bits are widened by bit replication here and by
// scaling in other programs: the two differ by at most 1.
inline void ExpectSamePixels(
    const std::vector<PixelBGR>& expected, const std::vector<PixelBGR>& actual, int tolerance, const std::string& what)
{
    ASSERT_EQ(expected.size(), actual.size()) << what;
    int bad = 0;
    for (size_t i = 0; i < expected.size() && bad < 5; ++i) {
        const PixelBGR a = expected[i], b = actual[i];
        if (std::abs(a.r - b.r) > tolerance || std::abs(a.g - b.g) > tolerance || std::abs(a.b - b.b) > tolerance) {
            ADD_FAILURE() << what << ": pixel " << i << " is " << int(b.r) << "," << int(b.g) << "," << int(b.b)
                          << ", expected " << int(a.r) << "," << int(a.g) << "," << int(a.b);
            ++bad;
        }
    }
}

struct Decoded {
    int width = 0;
    int height = 0;
    std::vector<PixelBGR> pixels;
};

// "W H\n" then W × H red, green, blue bytes.
inline Decoded ParseSizedRgb(const std::vector<uint8_t>& out)
{
    Decoded d;
    const std::string text(out.begin(), out.end());
    const size_t newline = text.find('\n');
    if (newline == std::string::npos || std::sscanf(text.c_str(), "%d %d", &d.width, &d.height) != 2) return d;
    for (size_t i = newline + 1; i + 2 < out.size(); i += 3)
        d.pixels.push_back(PixelBGR { out[i + 2], out[i + 1], out[i] });
    return d;
}

inline Decoded DecodeWithImageMagick(const std::filesystem::path& file)
{
    std::vector<uint8_t> out;
    const std::string p = "'" + file.string() + "'";
    if (!RunCommand("identify -format '%w %h\\n' " + p + "[0] && convert " + p + "[0] -depth 8 rgb:-", out))
        return {};
    return ParseSizedRgb(out);
}

// Pillow opens the largest image of an icon; anything with alpha is drawn on white.
inline Decoded DecodeWithPillow(const std::filesystem::path& file)
{
    static const char* script = "import sys\n"
                                "from PIL import Image\n"
                                "im = Image.open(sys.argv[1])\n"
                                "if im.mode in ('RGBA', 'LA', 'PA') or 'transparency' in im.info:\n"
                                "    im = Image.alpha_composite(Image.new('RGBA', im.size, 'white'), im.convert('RGBA'))\n"
                                "im = im.convert('RGB')\n"
                                "sys.stdout.buffer.write(b'%d %d\\n' % im.size + im.tobytes())\n";
    const std::filesystem::path program = file.parent_path() / "pillow_decode.py";
    WriteFile(program, std::vector<uint8_t>(script, script + std::char_traits<char>::length(script)));
    std::vector<uint8_t> out;
    if (!RunCommand("/usr/bin/python3 '" + program.string() + "' '" + file.string() + "'", out)) return {};
    return ParseSizedRgb(out);
}

} // namespace kaptivus::files::testing
