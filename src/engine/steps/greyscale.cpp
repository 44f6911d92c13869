// Greyscale: the image as 8-bit grey levels. After colour correction, so the
// grey levels come from the corrected colours, and before threshold and dither.

#include "engine/steps/colour.h"

namespace quill {

Bitmap applyGreyscale(Bitmap image, const Settings& settings)
{
    if (!image || !settings.doImageGreyscale)
        return image;
    if (FreeImage_GetBPP(image.get()) > 32) {
        image.reset(FreeImage_ConvertTo24Bits(image.get()));
        if (!image)
            return image;
    }
    return Bitmap(FreeImage_ConvertToGreyscale(image.get()));
}

}  // namespace quill
