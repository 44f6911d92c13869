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
/// Scales to the configured size, measured against the image's own size.
Bitmap applyResize(Bitmap image, const Settings& settings);
/// Mirrors the same bitmap; keeps resolution and metadata.
Bitmap applyFlips(Bitmap image, const Settings& settings);

}  // namespace quill
