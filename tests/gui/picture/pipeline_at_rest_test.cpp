// With every option at rest the pipeline hands the capture on without its
// stages; the picture must be the one the stages build, to the byte.
#include "picture/AdjustPipeline.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace kaptivus::picture {
namespace {

using pixels::DeviceFormat;
using pixels::Picture;
using pixels::PixelFormat;

// Rows of random bytes, padding and unused bits included: what a screen grab
// or a decoder may hand over.
Picture RandomCapture(int width, int height, PixelFormat format, const DeviceFormat& device, int bitsPerPixel,
                      std::mt19937& random)
{
    const int bits = format == PixelFormat::DeviceDefault ? device.bitsPerPixel : bitsPerPixel;
    const int stride = ((width * bits + 31) / 32) * 4;
    std::vector<uint8_t> bytes(static_cast<size_t>(stride) * static_cast<size_t>(height));
    for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(random());
    Picture capture = Picture::adopt(width, height, format, device, std::move(bytes), stride,
                                      format == PixelFormat::Custom ? bitsPerPixel : 0);
    if (format == PixelFormat::Custom && bitsPerPixel == 8) {
        std::vector<pixels::Color> palette(200); // shorter than the indices: some read as black
        for (pixels::Color& colour : palette) colour = random() & 0xFFFFFF;
        capture.setPalette(std::move(palette));
    }
    capture.setTransparent(true, 0x123456);
    return capture;
}

void ExpectSamePicture(const Picture& quick, const Picture& staged)
{
    EXPECT_EQ(quick.format(), staged.format());
    EXPECT_EQ(quick.device(), staged.device());
    EXPECT_EQ(quick.width(), staged.width());
    EXPECT_EQ(quick.height(), staged.height());
    EXPECT_EQ(quick.stride(), staged.stride());
    EXPECT_EQ(quick.palette(), staged.palette());
    EXPECT_EQ(quick.transparent(), staged.transparent());
    EXPECT_EQ(quick.transparentColor(), staged.transparentColor());
    EXPECT_TRUE(quick.bits() == staged.bits());
}

TEST(PipelineAtRest, GivesTheStagedPictureByteForByte)
{
    struct Source {
        const char* name;
        PixelFormat format;
        DeviceFormat device;
        int bitsPerPixel; // files only: the bits a pixel is stored in
    };
    const Source sources[] = {
        {"32-bit screen", PixelFormat::DeviceDefault, DeviceFormat{}, 0},
        {"24-bit screen", PixelFormat::DeviceDefault, DeviceFormat{24, 24, 0xFF0000, 0x00FF00, 0x0000FF}, 0},
        {"16-bit screen", PixelFormat::DeviceDefault, DeviceFormat{16, 16, 0xF800, 0x07E0, 0x001F}, 0},
        {"15-bit screen", PixelFormat::DeviceDefault, DeviceFormat{15, 16, 0x7C00, 0x03E0, 0x001F}, 0},
        {"red-blue swapped screen", PixelFormat::DeviceDefault, DeviceFormat{24, 32, 0x0000FF, 0x00FF00, 0xFF0000},
         0},
        {"30-bit screen", PixelFormat::DeviceDefault, DeviceFormat{30, 32, 0x3FF00000, 0x000FFC00, 0x000003FF}, 0},
        {"24-bit file", PixelFormat::Bits24, DeviceFormat{}, 24},
        {"16-bit file on a 16-bit screen", PixelFormat::Bits16, DeviceFormat{16, 16, 0xF800, 0x07E0, 0x001F}, 16},
        {"8-bit file", PixelFormat::Custom, DeviceFormat{}, 8},
        {"custom 32-bit file", PixelFormat::Custom, DeviceFormat{}, 32},
    };
    const std::pair<int, int> sizes[] = {{1, 1}, {1, 4}, {3, 2}, {37, 5}, {64, 3}};
    std::mt19937 random(20261208);
    for (const Source& source : sources) {
        for (const auto& [width, height] : sizes) {
            const Picture capture = RandomCapture(width, height, source.format, source.device,
                                                  source.bitsPerPixel, random);
            ASSERT_EQ(capture.width(), width) << source.name;
            const std::vector<uint8_t> before = capture.bits();
            for (int colours = 0; colours <= 7; ++colours) {
                for (const bool explicitSize : {false, true}) {
                    SCOPED_TRACE(::testing::Message() << source.name << " " << width << "x" << height
                                                      << " colours " << colours << " explicit " << explicitSize);
                    PictureOptions options;
                    options.colorsIndex = colours;
                    options.color1 = 0x00FF00; // only read by stages that are off
                    const PipelineResult quick = RunPipeline(capture, options, explicitSize, width, height);
                    const PipelineResult staged = RunEveryStage(capture, options, explicitSize, width, height);
                    EXPECT_EQ(quick.snappedRotation, staged.snappedRotation);
                    ExpectSamePicture(quick.picture, staged.picture);
                }
            }
            EXPECT_TRUE(capture.bits() == before) << source.name << ": the capture was changed";
        }
    }
}

// A screen grab holds nothing to clear: the shown picture then reads the
// capture's own memory. Anything to clear, or another colour depth, gives a
// picture of its own and leaves the capture as it was.
TEST(PipelineAtRest, ACleanCaptureIsHandedOnWithoutACopy)
{
    struct Case {
        const char* name;
        DeviceFormat device;
        int width;
        uint8_t fill;   // every byte of every row, padding included
        int colours;    // "Couleurs" index
        bool shared;
    };
    const DeviceFormat screen24{24, 24, 0xFF0000, 0x00FF00, 0x0000FF};
    const DeviceFormat screen16{16, 16, 0xF800, 0x07E0, 0x001F};
    const Case cases[] = {
        {"32-bit screen, fourth byte clear", DeviceFormat{}, 5, 0x00, 0, true},
        {"32-bit screen, fourth byte set", DeviceFormat{}, 5, 0xFF, 0, false},
        {"24-bit screen without padding", screen24, 4, 0xA5, 0, true},
        {"24-bit screen, padding set", screen24, 3, 0xA5, 0, false},
        {"16-bit screen, all bits in use", screen16, 2, 0x5A, 0, true},
        {"32-bit screen at 8 bits", DeviceFormat{}, 5, 0x00, 3, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int stride = ((c.width * c.device.bitsPerPixel + 31) / 32) * 4;
        std::vector<uint8_t> bytes(static_cast<size_t>(stride) * 3, c.fill);
        if (c.fill == 0x00)
            for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = i % 4 == 3 ? 0 : static_cast<uint8_t>(i * 7);
        const Picture capture =
            Picture::adopt(c.width, 3, PixelFormat::DeviceDefault, c.device, std::vector<uint8_t>(bytes), stride);
        PictureOptions options;
        options.colorsIndex = c.colours;
        const PipelineResult quick = RunPipeline(capture, options, false, c.width, 3);
        EXPECT_EQ(quick.picture.sharesRowsWith(capture), c.shared);
        ExpectSamePicture(quick.picture, RunEveryStage(capture, options, false, c.width, 3).picture);
        EXPECT_TRUE(capture.bits() == bytes) << "the capture was changed";
    }
}

} // namespace
} // namespace kaptivus::picture
