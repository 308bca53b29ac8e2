// Conversion between the program's bitmap and QImage keeps every pixel, in
// place, with red and blue where they belong.
#include "picture/PictureImage.h"

#include <QImage>

#include <gtest/gtest.h>

namespace kaptivus::picture {
namespace {

using pixels::PixelBGR;
using pixels::PixelFormat;

// An asymmetric 6 × 5 "F", red on blue: a flip or a channel swap shows.
pixels::Picture MakeF(PixelFormat format)
{
    pixels::Picture p = pixels::Picture::create(6, 5, format);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x) {
            const bool ink = x == 1 || (y == 0 && x < 5) || (y == 2 && x < 4);
            p.setPixel(x, y, ink ? PixelBGR{0, 0, 255} : PixelBGR{255, 0, 0});
        }
    return p;
}

TEST(PictureImage, EveryFormatShowsTheSamePixels)
{
    for (PixelFormat format : {PixelFormat::DeviceDefault, PixelFormat::Bits1, PixelFormat::Bits4,
                               PixelFormat::Bits8, PixelFormat::Bits15, PixelFormat::Bits16, PixelFormat::Bits24,
                               PixelFormat::Bits32}) {
        SCOPED_TRACE(static_cast<int>(format));
        const pixels::Picture f = MakeF(format);
        const QImage image = toQImage(f);
        ASSERT_EQ(image.size(), QSize(6, 5));
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 6; ++x) {
                const PixelBGR p = f.pixel(x, y);
                EXPECT_EQ(image.pixelColor(x, y), QColor(p.r, p.g, p.b)) << x << "," << y;
            }
    }
    EXPECT_EQ(toQImage(MakeF(PixelFormat::Bits24)).pixelColor(1, 4), QColor(255, 0, 0));
    EXPECT_EQ(toQImage(MakeF(PixelFormat::Bits24)).pixelColor(5, 0), QColor(0, 0, 255));
}

TEST(PictureImage, RoundTripKeepsPixelsAndPicksTheNearestFormat)
{
    const QImage source = toQImage(MakeF(PixelFormat::Bits24));
    const std::pair<QImage::Format, PixelFormat> cases[] = {
        {QImage::Format_RGB32, PixelFormat::Bits32},      {QImage::Format_ARGB32, PixelFormat::Bits32},
        {QImage::Format_RGB888, PixelFormat::Bits24},     {QImage::Format_BGR888, PixelFormat::Bits24},
        {QImage::Format_RGB16, PixelFormat::Bits16},      {QImage::Format_RGB555, PixelFormat::Bits15},
        {QImage::Format_Indexed8, PixelFormat::Bits8},    {QImage::Format_Mono, PixelFormat::Bits1},
    };
    for (const auto& [qtFormat, expected] : cases) {
        SCOPED_TRACE(static_cast<int>(qtFormat));
        const QImage image = source.convertToFormat(qtFormat);
        const pixels::Picture picture = fromQImage(image);
        EXPECT_EQ(picture.format(), expected);
        ASSERT_EQ(picture.width(), 6);
        ASSERT_EQ(picture.height(), 5);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 6; ++x) {
                const PixelBGR p = picture.pixel(x, y);
                EXPECT_EQ(QColor(p.r, p.g, p.b), image.pixelColor(x, y)) << x << "," << y;
            }
    }
}

TEST(PictureImage, IndexedImagesKeepTheirColourTable)
{
    QImage image(4, 1, QImage::Format_Indexed8);
    image.setColorTable({qRgb(10, 20, 30), qRgb(200, 100, 50), qRgb(1, 2, 3)});
    image.fill(0);
    image.setPixel(1, 0, 1);
    image.setPixel(2, 0, 2);
    const pixels::Picture picture = fromQImage(image);
    ASSERT_EQ(picture.palette().size(), 3u);
    EXPECT_EQ(picture.palette()[1], 0x3264C8u);
    EXPECT_EQ(picture.pixel(2, 0), (PixelBGR{3, 2, 1}));
}

TEST(PictureImage, EmptyAndNullGiveEmpty)
{
    EXPECT_TRUE(toQImage(pixels::Picture()).isNull());
    EXPECT_TRUE(fromQImage(QImage()).isEmpty());
}

} // namespace
} // namespace kaptivus::picture
