// Rotation, resize and flips of the working bitmap, and the colour parser the
// frame and watermark share.
#pragma once

#include "engine/bitmap.h"
#include "settings/settings.h"

#include <string_view>

namespace quill {

/// "RRGGBB" to a colour (reserved byte 0); any other length gives black.
RGBQUAD colourFromHex(std::string_view text);

Bitmap applyRotation(Bitmap image, const Settings& settings);
/// `width` and `height` are the image size after rotation.
Bitmap applyResize(Bitmap image, int width, int height, const Settings& settings);
/// Mirrors in place; keeps resolution and metadata.
void applyFlips(FIBITMAP* image, const Settings& settings);

}  // namespace quill
