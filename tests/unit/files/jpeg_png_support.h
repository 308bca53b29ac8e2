// What the JPEG and PNG tests share: a scratch folder, running the
// independent tools (libjpeg-turbo's programs, ImageMagick, Pillow), reading
// the PPM/PGM files they produce, a coloured asymmetric fixture and a sink
// that fails after a given number of bytes.
#pragma once

#include "codec_test_support.h"
#include "files/Codec.h"
#include "pixels/Picture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace kaptivus::files::jpegpng {

using pixels::Picture;
using pixels::PixelBGR;
using pixels::PixelFormat;
using testsupport::FailingSink;
using testsupport::ReadFile;
using testsupport::RunTool;
using testsupport::WriteFile;
using ScratchDir = testsupport::TempFolder;

// Pillow lives with the system's interpreter, not with a user's own.
inline const char* const kPython = "/usr/bin/python3";

inline std::string Quote(const std::string& text) { return "'" + text + "'"; }

// A binary PGM (P5) or PPM (P6) with samples of 8 bits.
struct Pnm {
    int w = 0;
    int h = 0;
    int channels = 0;
    std::vector<uint8_t> samples;

    int width() const { return w; }
    int height() const { return h; }

    PixelBGR pixel(int x, int y) const
    {
        const uint8_t* s = samples.data() + (static_cast<size_t>(y) * w + x) * channels;
        return channels == 1 ? PixelBGR { s[0], s[0], s[0] } : PixelBGR { s[2], s[1], s[0] };
    }
};

inline Pnm ReadPnm(const std::filesystem::path& path)
{
    const std::vector<uint8_t> bytes = ReadFile(path);
    Pnm pnm;
    std::string header(bytes.begin(), bytes.begin() + static_cast<long>(std::min<size_t>(bytes.size(), 64)));
    std::istringstream in(header);
    std::string magic;
    int maxval = 0;
    in >> magic >> pnm.w >> pnm.h >> maxval;
    if ((magic != "P5" && magic != "P6") || maxval != 255 || !in) return {};
    pnm.channels = magic == "P5" ? 1 : 3;
    const size_t start = static_cast<size_t>(in.tellg()) + 1;
    const size_t count = static_cast<size_t>(pnm.w) * pnm.h * pnm.channels;
    if (bytes.size() < start + count) return {};
    pnm.samples.assign(bytes.begin() + static_cast<long>(start), bytes.begin() + static_cast<long>(start + count));
    return pnm;
}

inline void WritePpm(const Picture& picture, const std::filesystem::path& path)
{
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << picture.width() << ' ' << picture.height() << "\n255\n";
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const PixelBGR p = picture.pixel(x, y);
            const char rgb[3] = { static_cast<char>(p.r), static_cast<char>(p.g), static_cast<char>(p.b) };
            out.write(rgb, 3);
        }
}

// Smooth ramps in all three channels, different along x and y, with a
// saturated block off-centre: flips, transpositions and channel swaps show.
inline Picture Fixture(int width, int height)
{
    Picture picture = Picture::create(width, height, PixelFormat::Bits24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const bool block = x >= width / 4 && x < width / 2 && y < height / 3;
            const PixelBGR ramp { static_cast<uint8_t>(40 + y * 150 / height), static_cast<uint8_t>(x * 200 / width),
                static_cast<uint8_t>(250 - (x + y) * 120 / (width + height)) };
            picture.setPixel(x, y, block ? PixelBGR { 30, 200, 230 } : ramp);
        }
    return picture;
}

// The fixture stored in a format; reading it back gives what the format keeps.
inline Picture FixtureIn(PixelFormat format, int width = 37, int height = 23)
{
    Picture picture = Fixture(width, height);
    picture.convertTo(format);
    return picture;
}

inline const char* FormatName(PixelFormat format)
{
    switch (format) {
    case PixelFormat::DeviceDefault: return "device";
    case PixelFormat::Bits1: return "1";
    case PixelFormat::Bits4: return "4";
    case PixelFormat::Bits8: return "8";
    case PixelFormat::Bits15: return "15";
    case PixelFormat::Bits16: return "16";
    case PixelFormat::Bits24: return "24";
    case PixelFormat::Bits32: return "32";
    case PixelFormat::Custom: return "custom";
    }
    return "?";
}

// Largest difference of any channel between two same-sized pictures (a
// Picture or a Pnm), or 999 when the sizes differ.
template <class A, class B> int MaxDifference(const A& a, const B& b)
{
    if (a.width() != b.width() || a.height() != b.height()) return 999;
    int worst = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const PixelBGR p = a.pixel(x, y);
            const PixelBGR q = b.pixel(x, y);
            worst = std::max({ worst, std::abs(p.r - q.r), std::abs(p.g - q.g), std::abs(p.b - q.b) });
        }
    return worst;
}

} // namespace kaptivus::files::jpegpng
