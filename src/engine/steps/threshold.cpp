// Threshold: a 1-bit black-and-white image, white where the grey level reaches
// the threshold. After greyscale, so a grey image is cut without a detour.

#include "engine/steps/colour.h"

#include <algorithm>

namespace quill {

namespace {

}  // namespace

Bitmap applyThreshold(Bitmap image, const Settings& settings)
{
    if (!image || !settings.doImageThreshold)
        return image;
    if (needsTwentyFourBits(FreeImage_GetBPP(image.get()))) {
        image.reset(FreeImage_ConvertTo24Bits(image.get()));
        if (!image)
            return image;
    }
    const BYTE level = static_cast<BYTE>(std::clamp(settings.imageThreshold, 0, 255));
    return Bitmap(FreeImage_Threshold(image.get(), level));
}

}  // namespace quill
