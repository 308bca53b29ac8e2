// Turns the unaltered capture into the shown picture: colour stages, rotation,
// mirrors and colour replacement, final scaling, frame and colour depth.
// Standard library and pixels/ only: no Qt, no X11, no window state.
#pragma once

#include "pixels/Picture.h"
#include "pixels/PixelBase.h"

#include <cstdint>

namespace kaptivus::picture {

// The positions of the options page controls, read once per run.
struct PictureOptions {
    int brightness = 0;     // "Brillance", -255..255
    int contrast = 0;       // "Contraste", -255..255
    int saturation = 0;     // "Saturation", -255..255
    int red = 0;            // "Rouge", -255..255
    int green = 0;          // "Vert", -255..255
    int blue = 0;           // "Bleu", -255..255
    int frame = 0;          // "Cadre", 0..20 pixels
    int rotation = 0;       // "Pivoter", -180..180 degrees
    int resizePercent = 100; // "Taille %", 10..400
    bool grey = false;           // "Noir et blanc"
    bool invert = false;         // "Inversion"
    bool exchange = false;       // "Echange"
    bool substitute = false;     // "Substituer couleur"
    bool flipVertical = false;   // "Miroir vertical": top and bottom rows change places
    bool flipHorizontal = false; // "Miroir horizontal": left and right change places
    bool emboss = false;         // "Gaufrer"
    bool sharpen = false;        // "Affiner"
    pixels::Color color1 = 0x000000;     // first colour to change, 0x00BBGGRR
    pixels::Color color2 = 0xFFFFFF;     // second colour to change
    pixels::Color frameColor = 0x000000; // "Couleur du cadre"
    int colorsIndex = 0;                 // "Couleurs", 0..7 (PixelFormatForIndex)
};

struct PipelineResult {
    pixels::Picture picture;
    // The rotation actually applied; the window moves "Pivoter" to it.
    int snappedRotation = 0;
};

// Builds the shown picture from the capture, which is never modified.
// explicitSize false: width and height are the size at 100 % and are scaled by
// resizePercent; true: they are the wanted picture size. The frame is added
// outside that size. A picture over 4,200,000 framed pixels keeps the capture's
// own size instead. The result is in PixelFormatForIndex(colorsIndex), built on
// the capture's device format. A picture size of 0 gives only the frame (an
// empty picture when the frame is 0 too). Throws dialogs::PictureMemoryError
// with the framed size when a buffer cannot be had; nothing half-built is
// returned then.
// With every option at rest and the picture at the capture's own size, the
// capture is handed on in one copy or one conversion instead of through the stages.
PipelineResult RunPipeline(const pixels::Picture& capture, const PictureOptions& options, bool explicitSize,
                           int width, int height);

// The same run through every stage whatever the options: the reference the
// quick way for options at rest must match byte for byte.
PipelineResult RunEveryStage(const pixels::Picture& capture, const PictureOptions& options, bool explicitSize,
                             int width, int height);

// --- The pieces of the run, for the window and for tests -------------------

// Quarter and half turns within 10 degrees snap onto the exact angle.
int SnapRotation(int angle);

// True when a caller that follows the rotation passes the capture's size
// swapped (height first), so a quarter turn gives a picture of swapped proportions.
bool IsNearQuarterTurn(int angle);

// Round(length / 100 × percent) in extended precision, ties to even.
int64_t ScaleByPercent(int length, int percent);

struct FramedSize {
    int pictureWidth = 0;  // without the frame
    int pictureHeight = 0;
    int width = 0;         // with the frame on both sides
    int height = 0;
};

// The picture and framed sizes of one run. The product is taken in 64 bits so
// that an enlarged huge capture falls back to the capture size instead of
// overflowing; negative sizes count as 0.
FramedSize ComputeFramedSize(bool explicitSize, int width, int height, int percent, int frame, int captureWidth,
                             int captureHeight);

inline constexpr int64_t kMaxFramedPixels = 4'200'000;

} // namespace kaptivus::picture
