// The colour steps in their fixed order: correction, greyscale, threshold, dither.
#pragma once

#include "engine/bitmap.h"
#include "settings/settings.h"

namespace quill {

Bitmap applyColourCorrection(Bitmap image, const Settings& settings);
Bitmap applyGreyscale(Bitmap image, const Settings& settings);
Bitmap applyThreshold(Bitmap image, const Settings& settings);
Bitmap applyDither(Bitmap image, const Settings& settings);

/// FreeImage's threshold and dither cut 4- to 32-bit images; other depths go
/// through 24 bits first.
inline bool needsTwentyFourBits(unsigned bitsPerPixel)
{
    return bitsPerPixel > 32 || bitsPerPixel < 4;
}

}  // namespace quill
