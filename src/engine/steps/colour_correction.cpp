// Brightness, contrast, gamma and invert in one FreeImage call. First of the
// colour steps: greyscale, threshold and dither then work on corrected pixels.

#include "engine/steps/colour.h"

namespace quill {

namespace {

// FreeImage adjusts 8-bit, 24-bit and 32-bit images only; it refuses 16-bit
// (5-6-5) pixels without a word, so those are brought to 24 bits as well.
bool adjustable(FIBITMAP* image)
{
    const unsigned bitsPerPixel = FreeImage_GetBPP(image);
    return FreeImage_GetImageType(image) == FIT_BITMAP &&
           (bitsPerPixel == 8 || bitsPerPixel == 24 || bitsPerPixel == 32);
}

}  // namespace

Bitmap applyColourCorrection(Bitmap image, const Settings& settings)
{
    if (!image || !settings.doImageColorCorrection)
        return image;
    if (!adjustable(image.get())) {
        image.reset(FreeImage_ConvertTo24Bits(image.get()));
        if (!image)
            return image;
    }
    FreeImage_AdjustColors(image.get(), static_cast<double>(settings.imageBrightness),
                           static_cast<double>(settings.imageContrast), static_cast<double>(settings.imageGamma),
                           settings.imageInvert ? TRUE : FALSE);
    return image;
}

}  // namespace quill
