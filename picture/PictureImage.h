// The one place where the program's bitmap type and QImage meet: for display,
// the clipboard and printing. No widgets.
#pragma once

#include "pixels/Picture.h"

#include <QImage>

namespace kaptivus::picture {

// 24-bit display copy of any picture; an empty picture gives a null image.
QImage toQImage(const pixels::Picture& picture);

// The program's pixel format nearest to the QImage's: 1 and 8-bit indexed,
// 15, 16 and 24 bits as such, anything else 32 bits.
pixels::PixelFormat PixelFormatOf(const QImage& image);

// The QImage's nearest pixel format: 1 and 8-bit indexed images keep their
// colour tables, 15/16/24-bit images their depth; anything else becomes 32 bits.
// Alpha is dropped. A null image, or one too large to hold, gives an empty picture.
pixels::Picture fromQImage(const QImage& image, const pixels::DeviceFormat& device = {});

} // namespace kaptivus::picture
