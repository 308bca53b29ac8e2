// The one GIF image the writer makes of a picture: its colour table, indices
// and transparency, and the steps between picture and file bytes. No Qt, no
// X11, no file I/O: the bytes go to a ByteSink.
#pragma once

#include "files/Codec.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace kaptivus::files {

inline constexpr const char* kGifTableFull = "Table de couleurs saturée";
inline constexpr const char* kGifColourNotInTable = "Cette couleur n'est pas dans la palette";
inline constexpr const char* kGifUnknownVersion = "Version GIF non-supportée";

struct GifImage {
    int width = 0;
    int height = 0;
    std::vector<pixels::Color> colours; // at most 256
    bool sorted = false; // the table is ordered by decreasing use
    std::vector<uint8_t> indices; // width × height, rows from the top
    bool transparent = false; // a graphic control extension names transparentIndex
    uint8_t transparentIndex = 0;
};

// Takes the picture: 1, 4 and 8-bit pictures keep their own table; any other
// is converted in place to 24 bits and reduced to 256 colours. A picture
// marked transparent gets its transparent colour's pixels transparent.
CodecStatus GifImageFromPicture(pixels::Picture& picture, GifImage& image);

// The same image without changing the picture: a direct-colour picture is
// read at 24 bits as it is, and `transparent` names the colour whose pixels
// become transparent, whatever the picture's own mark says.
CodecStatus GifImageOfPicture(const pixels::Picture& picture, std::optional<pixels::Color> transparent,
                              GifImage& image);

// Orders the table by decreasing use and drops the colours no pixel uses.
void OptimiseGifTable(GifImage& image);

// With fewer than 256 colours in use after optimising, the masked pixels get a
// black entry appended for them and named transparent; with 256, nothing is
// transparent. mask holds one byte a pixel, non-zero where transparent.
CodecStatus ApplyGifTransparency(GifImage& image, const std::vector<uint8_t>& mask);

// The whole file: header, screen, extension, local table, LZW data, trailer.
CodecStatus WriteGifImage(const GifImage& image, ByteSink& sink);

} // namespace kaptivus::files
