// Mirroring left-right and top-bottom, in place. Runs after tone mapping, on
// the final size, and before the colour steps; metadata and resolution stay.

#include "engine/steps/geometry.h"

namespace quill {

Bitmap applyFlips(Bitmap image, const Settings& settings)
{
    if (!image)
        return image;
    if (settings.doImageFlipHorizontal)
        FreeImage_FlipHorizontal(image.get());
    if (settings.doImageFlipVertical)
        FreeImage_FlipVertical(image.get());
    return image;
}

}  // namespace quill
