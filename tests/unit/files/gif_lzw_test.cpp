// The LZW data the writer makes, decoded by a textbook decoder, by giflib
// (through the reader) and by outside programs, index by index.
#include "files/GifImage.h"
#include "files/GifPicture.h"
#include "gif_support.h"

#include "files/GifLzw.h"

#include <gtest/gtest.h>
#include <map>
#include <random>

namespace kaptivus::files {
namespace {

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
    const testsupport::TempFolder folder;
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
        // The first Clear opens the data; each later one comes once the decoder,
        // a code behind the encoder, has filled its table up to 4093.
        ASSERT_FALSE(trace.clearsAt.empty());
        EXPECT_EQ(trace.clearsAt[0], (1 << gif.minCodeSize) + 2);
        for (size_t i = 1; i < trace.clearsAt.size(); ++i)
            EXPECT_EQ(trace.clearsAt[i], 4094) << i;
        if (s.colours == 256 && s.runLength == 0) {
            EXPECT_GT(trace.clearsAt.size(), 3u);
            EXPECT_EQ(trace.widestCode, 12);
        }
        EXPECT_EQ(trace.indices, image.indices);

        const ReadResult giflib = ReadGif(bytes);
        ASSERT_TRUE(giflib.ok()) << giflib.error;
        std::vector<uint8_t> read;
        for (int y = 0; y < s.height; ++y)
            read.insert(read.end(), giflib.picture.scanLine(y), giflib.picture.scanLine(y) + s.width);
        EXPECT_EQ(read, image.indices);

        // Outside decoders: giflib's dump, gifsicle and ImageMagick's pixels
        // (the colours are all distinct, so colours stand for indices).
        const std::string path = folder.str("lzw.gif");
        testsupport::WriteFile(path, bytes);
        bool ok = false;
        EXPECT_NE(test::Run("giftext " + path, &ok)
                      .find("Width = " + std::to_string(s.width) + ", Height = " + std::to_string(s.height)),
            std::string::npos);
        EXPECT_TRUE(ok);
        const std::string info = test::Run("gifsicle --info " + path, &ok);
        EXPECT_TRUE(ok);
        if (s.colours == 256) {
            EXPECT_NE(info.find("local color table [256]"), std::string::npos) << info;
        }
        const std::string rgb = test::Run("convert " + path + " -depth 8 rgb:-", &ok);
        ASSERT_TRUE(ok);
        ASSERT_EQ(rgb.size(), image.indices.size() * 3);
        for (size_t i = 0; i < image.indices.size(); ++i) {
            const auto* p = reinterpret_cast<const uint8_t*>(rgb.data()) + i * 3;
            ASSERT_EQ(Rgb(p[0], p[1], p[2]), image.colours[image.indices[i]]) << i;
        }
    }
}

// The textbook encoder: a map from (prefix code, next index) to code, the
// same widths and the same Clear at 4095, codes packed from the low bit and
// cut into sub-blocks of 255 bytes.
std::vector<uint8_t> ReferenceLzw(const std::vector<uint8_t>& indices, int minCodeSize)
{
    std::vector<uint8_t> packed;
    uint32_t pending = 0;
    int pendingBits = 0;
    const auto put = [&](uint32_t code, int width) {
        pending |= code << pendingBits;
        for (pendingBits += width; pendingBits >= 8; pendingBits -= 8, pending >>= 8)
            packed.push_back(static_cast<uint8_t>(pending));
    };
    const uint32_t clear = 1u << minCodeSize;
    std::map<std::pair<uint32_t, uint8_t>, uint32_t> table;
    int width = minCodeSize + 1;
    uint32_t next = clear + 2;
    put(clear, width);
    uint32_t prefix = indices[0];
    for (size_t i = 1; i < indices.size(); ++i) {
        if (const auto found = table.find({prefix, indices[i]}); found != table.end()) {
            prefix = found->second;
            continue;
        }
        put(prefix, width);
        table[{prefix, indices[i]}] = next++;
        if (next > (1u << width) && width < 12) ++width;
        if (next == 4095) {
            put(clear, width);
            table.clear();
            width = minCodeSize + 1;
            next = clear + 2;
        }
        prefix = indices[i];
    }
    put(prefix, width);
    if (next + 1 > (1u << width) && width < 12) ++width;
    put(clear + 1, width);
    if (pendingBits > 0) packed.push_back(static_cast<uint8_t>(pending));
    std::vector<uint8_t> out{static_cast<uint8_t>(minCodeSize)};
    for (size_t at = 0; at < packed.size(); at += 255) {
        const size_t size = std::min<size_t>(255, packed.size() - at);
        out.push_back(static_cast<uint8_t>(size));
        out.insert(out.end(), packed.begin() + static_cast<long>(at), packed.begin() + static_cast<long>(at + size));
    }
    out.push_back(0);
    return out;
}

// A screen's long runs of one index filled the string table's hash with one
// cluster of sequential codes, and each probe walked it: the data must stay
// the textbook encoder's to the byte, however the table finds its strings.
TEST(GifLzw, ScreenRunsAndNoiseGiveTheTextbookEncodersBytes)
{
    std::vector<Stream> streams(std::begin(kStreams), std::end(kStreams));
    streams.push_back({"a screen: one colour with short bands", 1920, 40, 16, 20000});
    streams.push_back({"a screen of one colour", 1920, 60, 2, 0});
    for (const Stream& s : streams) {
        SCOPED_TRACE(s.name);
        const GifImage image = MakeImage(s);
        int bits = 2;
        while ((1 << bits) < s.colours) ++bits;
        std::vector<uint8_t> written;
        AppendGifLzw(image.indices, bits, written);
        EXPECT_TRUE(written == ReferenceLzw(image.indices, bits));
    }
}

} // namespace
} // namespace kaptivus::files
