// The solid mitred frame painted over the image border.
#pragma once

#include "engine/bitmap.h"
#include "settings/settings.h"

namespace quill {

/// Paints the four bands over the border; the image keeps its size.
Bitmap applyFrame(Bitmap image, int width, int height, const Settings& settings);

}  // namespace quill
