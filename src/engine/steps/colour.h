// The colour steps in their fixed order: correction, greyscale, threshold, dither.
#pragma once

#include "engine/bitmap.h"
#include "settings/settings.h"

namespace quill {

Bitmap applyColourCorrection(Bitmap image, const Settings& settings);
Bitmap applyGreyscale(Bitmap image, const Settings& settings);
Bitmap applyThreshold(Bitmap image, const Settings& settings);
Bitmap applyDither(Bitmap image, const Settings& settings);

}  // namespace quill
