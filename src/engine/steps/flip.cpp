// Mirroring left-right and top-bottom, in place. Runs after tone mapping, on
// the final size, and before the colour steps; metadata and resolution stay.

#include "engine/steps/geometry.h"

namespace quill {

void applyFlips(FIBITMAP* image, const Settings& settings)
{
    if (!image)
        return;
    if (settings.doImageFlipHorizontal)
        FreeImage_FlipHorizontal(image);
    if (settings.doImageFlipVertical)
        FreeImage_FlipVertical(image);
}

}  // namespace quill
