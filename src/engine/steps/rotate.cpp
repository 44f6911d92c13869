// Rotation by the angle in the settings: a simple rotation onto an enlarged
// canvas with a background colour, or an advanced one that keeps the canvas.
// First of the editing steps, so resize works with the size after turning.

#include "engine/steps/geometry.h"
#include "settings/setting_codes.h"

namespace quill {

namespace {

// FreeImage rotates 8-bit and 24/32-bit colour images reliably; others are
// brought to 24 bits first (a 48-bit decode loses its extra precision here).
bool rotationNeedsTwentyFourBits(unsigned bitsPerPixel)
{
    return bitsPerPixel <= 16 || bitsPerPixel > 32;
}

}  // namespace

Bitmap applyRotation(Bitmap image, const Settings& settings)
{
    const int angle = settings.imageRotation;
    if (!image || !settings.doImageRotation || angle <= 0 || angle >= 360)
        return image;

    const double width = FreeImage_GetWidth(image.get());
    const double height = FreeImage_GetHeight(image.get());
    if (rotationNeedsTwentyFourBits(FreeImage_GetBPP(image.get()))) {
        image.reset(FreeImage_ConvertTo24Bits(image.get()));
        if (!image)
            return image;
    }

    if (is(settings.imageRotationType, RotationType::Simple)) {
        RGBQUAD background = colourFromHex(settings.imageRotationBackColor);
        background.rgbReserved = 0;
        return Bitmap(FreeImage_Rotate(image.get(), angle, &background));
    }
    if (is(settings.imageRotationType, RotationType::Advanced))
        return Bitmap(FreeImage_RotateEx(image.get(), angle, 0.0, 0.0, width / 2.0, height / 2.0, FALSE));
    return image;
}

}  // namespace quill
