// The LZW data the writer makes, decoded by a textbook decoder, by giflib
// (through the reader) and by outside programs, index by index.
#include "files/GifImage.h"
#include "files/GifPicture.h"
#include "gif_reference.h"
#include "gif_support.h"

#include <gtest/gtest.h>

#include <random>

namespace kaptivus::files {
namespace {

using pixels::Color;
using test::Rgb;

struct Stream {
    const char* name;
    int width;
    int height;
    int colours;
    int runLength; // 0: noise
};

GifImage MakeImage(const Stream& s)
{
    GifImage image;
    image.width = s.width;
    image.height = s.height;
    for (int i = 0; i < s.colours; ++i)
        image.colours.push_back(Rgb((i * 37 + 11) % 256, (i * 101 + 3) % 256, 255 - i));
    std::mt19937 random(static_cast<uint32_t>(s.width * 31 + s.height));
    uint8_t value = 0;
    for (int i = 0; i < s.width * s.height; ++i) {
        if (s.runLength == 0 || i % s.runLength == 0) value = static_cast<uint8_t>(random() % uint32_t(s.colours));
        image.indices.push_back(value);
    }
    return image;
}

const Stream kStreams[] = {
    { "one pixel", 1, 1, 2, 0 },
    { "two colours", 37, 3, 2, 0 },
    { "sixteen colours", 61, 7, 16, 3 },
    { "noise over many clears", 300, 200, 256, 0 },
    { "long runs", 1000, 50, 256, 4000 },
    { "one colour", 640, 3, 1, 0 },
};

TEST(GifLzw, WrittenDataDecodesToTheSameIndicesEverywhere)
{
    for (const Stream& s : kStreams) {
        SCOPED_TRACE(s.name);
        const GifImage image = MakeImage(s);
        const std::vector<uint8_t> bytes = test::GifBytes(image);
        const test::ParsedGif gif = test::ParseGif(bytes);
        ASSERT_TRUE(gif.ok);
        int bits = 1;
        while ((1 << bits) < s.colours)
            ++bits;
        EXPECT_EQ(gif.minCodeSize, std::max(2, bits));
        for (size_t i = 0; i + 1 < gif.blockSizes.size(); ++i)
            ASSERT_EQ(gif.blockSizes[i], 255);
        const test::LzwTrace trace = test::DecodeLzw(gif.data, gif.minCodeSize);
        EXPECT_TRUE(trace.ended);
        EXPECT_EQ(trace.indices, image.indices);

        const ReadResult giflib = ReadGif(bytes);
        ASSERT_TRUE(giflib.ok()) << giflib.error;
        std::vector<uint8_t> read;
        for (int y = 0; y < s.height; ++y)
            read.insert(read.end(), giflib.picture.scanLine(y), giflib.picture.scanLine(y) + s.width);
        EXPECT_EQ(read, image.indices);

        const auto path = test::TempPath("lzw.gif");
        test::WriteFile(path, bytes);
        const test::OutsideDecode pillow = test::DecodeWithPillow(path);
        ASSERT_TRUE(pillow.ok);
        EXPECT_TRUE(std::equal(image.colours.begin(), image.colours.end(), pillow.palette.begin()));
        EXPECT_EQ(std::vector<int>(image.indices.begin(), image.indices.end()), pillow.indices);
    }
}

TEST(GifLzw, ClearComesWhenTheNextFreeCodeWouldBe4095)
{
    const GifImage image = MakeImage(kStreams[3]);
    const test::ParsedGif gif = test::ParseGif(test::GifBytes(image));
    const test::LzwTrace trace = test::DecodeLzw(gif.data, gif.minCodeSize);
    // The first Clear opens the data; each later one comes once the decoder,
    // a code behind the encoder, has filled its table up to 4093.
    ASSERT_GT(trace.clearsAt.size(), 3u);
    EXPECT_EQ(trace.clearsAt[0], 258);
    for (size_t i = 1; i < trace.clearsAt.size(); ++i)
        EXPECT_EQ(trace.clearsAt[i], 4094) << i;
    EXPECT_EQ(trace.widestCode, 12);
}

TEST(GifLzw, OutsideToolsReadTheWrittenFile)
{
    // A reduced 24-bit picture, checked by giflib's own dump, gifsicle and ImageMagick.
    std::vector<Color> colours;
    for (int i = 0; i < 400; ++i)
        colours.push_back(Rgb(i % 256, (i * 7) % 256, (i * 13) % 256));
    pixels::Picture picture = test::TrueColourPicture(97, 45, colours);
    MemorySink sink;
    ASSERT_TRUE(WriteGif(picture, sink).ok());
    const auto path = test::TempPath("outside.gif");
    test::WriteFile(path, sink.bytes);
    const test::ParsedGif gif = test::ParseGif(sink.bytes);
    const test::LzwTrace trace = test::DecodeLzw(gif.data, gif.minCodeSize);

    const test::CommandOutput giftext = test::Run("giftext " + path.string());
    EXPECT_TRUE(giftext.ok);
    EXPECT_NE(giftext.text.find("Width = 97, Height = 45"), std::string::npos) << giftext.text;
    const test::CommandOutput gifsicle = test::Run("gifsicle --info " + path.string());
    EXPECT_TRUE(gifsicle.ok);
    EXPECT_NE(gifsicle.text.find("local color table [256]"), std::string::npos) << gifsicle.text;

    const test::CommandOutput rgb = test::Run("convert " + path.string() + " -depth 8 rgb:-");
    ASSERT_TRUE(rgb.ok);
    ASSERT_EQ(rgb.text.size(), size_t(97 * 45 * 3));
    for (size_t i = 0; i < trace.indices.size(); ++i) {
        const Color c = gif.table[trace.indices[i]];
        const auto* p = reinterpret_cast<const uint8_t*>(rgb.text.data()) + i * 3;
        ASSERT_EQ(Rgb(p[0], p[1], p[2]), c) << i;
    }
}

} // namespace
} // namespace kaptivus::files
