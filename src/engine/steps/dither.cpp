// Dither: a 1-bit image by error diffusion or an ordered pattern. Last colour
// step: after a threshold it dithers the black-and-white result again.

#include "engine/steps/colour.h"
#include "settings/setting_codes.h"

namespace quill {

namespace {

FREE_IMAGE_DITHER algorithmFor(int setting)
{
    switch (codeOf<DitherAlgorithm>(setting)) {
    case DitherAlgorithm::Bayer4: return FID_BAYER4x4;
    case DitherAlgorithm::Bayer8: return FID_BAYER8x8;
    case DitherAlgorithm::Bayer16: return FID_BAYER16x16;
    case DitherAlgorithm::Cluster6: return FID_CLUSTER6x6;
    case DitherAlgorithm::Cluster8: return FID_CLUSTER8x8;
    case DitherAlgorithm::Cluster16: return FID_CLUSTER16x16;
    default: return FID_FS;
    }
}

}  // namespace

Bitmap applyDither(Bitmap image, const Settings& settings)
{
    if (!image || !settings.doImageDither)
        return image;
    if (needsTwentyFourBits(FreeImage_GetBPP(image.get()))) {
        image.reset(FreeImage_ConvertTo24Bits(image.get()));
        if (!image)
            return image;
    }
    return Bitmap(FreeImage_Dither(image.get(), algorithmFor(settings.imageDitherAlgorithm)));
}

}  // namespace quill
