// Conversion between the program's bitmap and QImage, row by row through the
// 24-bit blue-green-red layout both sides can read and write.
#include "picture/PictureImage.h"

#include "pixels/PictureRows.h"

#include <vector>

namespace kaptivus::picture {

using pixels::Color;
using pixels::Picture;
using pixels::PixelBGR;
using pixels::PixelFormat;

PixelFormat PixelFormatOf(const QImage& image)
{
    switch (image.format()) {
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB: return PixelFormat::Bits1;
    case QImage::Format_Indexed8: return PixelFormat::Bits8;
    case QImage::Format_RGB555: return PixelFormat::Bits15;
    case QImage::Format_RGB16: return PixelFormat::Bits16;
    case QImage::Format_RGB888:
    case QImage::Format_BGR888: return PixelFormat::Bits24;
    default: return PixelFormat::Bits32;
    }
}

QImage toQImage(const Picture& picture)
{
    if (picture.isEmpty())
        return {};
    // Format_BGR888 stores blue, green, red bytes: the PixelBGR layout.
    QImage image(picture.width(), picture.height(), QImage::Format_BGR888);
    if (image.isNull())
        return {};
    const pixels::PictureRowReader reader(picture);
    for (int y = 0; y < picture.height(); ++y)
        reader.read(y, 0, picture.width(), reinterpret_cast<PixelBGR*>(image.scanLine(y)));
    return image;
}

namespace {

std::vector<Color> PaletteOf(const QImage& image)
{
    std::vector<Color> palette;
    for (QRgb rgb : image.colorTable())
        palette.push_back(Color(qRed(rgb)) | (Color(qGreen(rgb)) << 8) | (Color(qBlue(rgb)) << 16));
    return palette;
}

} // namespace

Picture fromQImage(const QImage& image, const pixels::DeviceFormat& device)
{
    if (image.isNull())
        return {};
    const PixelFormat format = PixelFormatOf(image);
    Picture picture = Picture::create(image.width(), image.height(), format, device);
    if (picture.isEmpty())
        return {};
    if (format == PixelFormat::Bits1 || format == PixelFormat::Bits8) {
        std::vector<Color> palette = PaletteOf(image);
        const size_t capacity = format == PixelFormat::Bits1 ? 2 : 256;
        if (!palette.empty() && palette.size() <= capacity)
            picture.setPalette(std::move(palette));
    }
    const QImage rows = image.convertToFormat(QImage::Format_BGR888);
    if (rows.isNull())
        return {};
    pixels::PictureRowWriter writer(picture);
    for (int y = 0; y < rows.height(); ++y)
        writer.write(y, 0, rows.width(), reinterpret_cast<const PixelBGR*>(rows.constScanLine(y)));
    return picture;
}

} // namespace kaptivus::picture
