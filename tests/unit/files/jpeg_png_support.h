// What the JPEG and PNG tests share beyond codec_test_support.h: the PPM/PGM
// files the independent tools write, and a coloured asymmetric fixture in
// every depth.
#pragma once

#include "codec_test_support.h"
#include "files/Codec.h"
#include "pixels/Picture.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace kaptivus::files::jpegpng {

using pixels::Picture;
using pixels::PixelBGR;
using pixels::PixelFormat;
using namespace testsupport;

// Pillow lives with the system's interpreter, not with a user's own.
inline const char* const kPython = "/usr/bin/python3";

inline const PixelFormat kEveryFormat[] = { PixelFormat::DeviceDefault, PixelFormat::Bits1, PixelFormat::Bits4,
    PixelFormat::Bits8, PixelFormat::Bits15, PixelFormat::Bits16, PixelFormat::Bits24, PixelFormat::Bits32 };

// A binary PGM (P5) or PPM (P6) with samples of 8 bits, as a 24-bit picture;
// empty when the file is anything else.
inline Picture ReadPnm(const std::filesystem::path& path)
{
    const std::vector<uint8_t> bytes = ReadFile(path);
    const std::string head(bytes.begin(), bytes.begin() + static_cast<long>(std::min<size_t>(bytes.size(), 64)));
    char kind = 0;
    int w = 0, h = 0, start = 0;
    if (std::sscanf(head.c_str(), "P%c %d %d 255%n", &kind, &w, &h, &start) != 3 || start == 0) return {};
    const int channels = kind == '5' ? 1 : kind == '6' ? 3 : 0;
    if (!channels || bytes.size() < static_cast<size_t>(start + 1 + w * h * channels)) return {};
    Picture picture = Picture::create(w, h, PixelFormat::Bits24);
    for (int i = 0; i < w * h; ++i) {
        const uint8_t* s = bytes.data() + start + 1 + i * channels;
        picture.setPixel(i % w, i / w, channels == 1 ? PixelBGR { s[0], s[0], s[0] } : PixelBGR { s[2], s[1], s[0] });
    }
    return picture;
}

// Smooth ramps in all three channels, different along x and y, with a
// saturated block off-centre: flips, transpositions and channel swaps show.
// Stored in a format, reading it back gives what the format keeps.
inline Picture FixtureIn(PixelFormat format, int width = 37, int height = 23)
{
    Picture picture = Picture::create(width, height, PixelFormat::Bits24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const bool block = x >= width / 4 && x < width / 2 && y < height / 3;
            const PixelBGR ramp { static_cast<uint8_t>(40 + y * 150 / height), static_cast<uint8_t>(x * 200 / width),
                static_cast<uint8_t>(250 - (x + y) * 120 / (width + height)) };
            picture.setPixel(x, y, block ? PixelBGR { 30, 200, 230 } : ramp);
        }
    picture.convertTo(format);
    return picture;
}

// Largest difference of any channel between two same-sized pictures, or 999
// when the sizes differ; the mean over all channels goes to *mean.
inline int MaxDifference(const Picture& a, const Picture& b, double* mean = nullptr)
{
    if (a.width() != b.width() || a.height() != b.height()) {
        if (mean) *mean = 999;
        return 999;
    }
    int worst = 0;
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const PixelBGR p = a.pixel(x, y), q = b.pixel(x, y);
            const int dr = std::abs(p.r - q.r), dg = std::abs(p.g - q.g), db = std::abs(p.b - q.b);
            worst = std::max({ worst, dr, dg, db });
            sum += dr + dg + db;
        }
    if (mean) *mean = sum / (3.0 * a.width() * a.height());
    return worst;
}

// The progressive file with its last scan (SOS header and data, up to EOI)
// repeated: libjpeg only warns about such a progression and goes on.
inline std::vector<uint8_t> RepeatLastScan(const std::vector<uint8_t>& jpeg, int copies)
{
    const uint8_t sos[] = { 0xFF, 0xDA };
    const auto lastScan = std::find_end(jpeg.begin(), jpeg.end(), sos, sos + 2), end = jpeg.end() - 2; // EOI
    std::vector<uint8_t> out(jpeg.begin(), end);
    for (int k = 1; k < copies; ++k)
        out.insert(out.end(), lastScan, end);
    out.insert(out.end(), { 0xFF, 0xD9 });
    return out;
}

} // namespace kaptivus::files::jpegpng
