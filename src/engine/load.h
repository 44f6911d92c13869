// Loading an input file into the working bitmap: the RAW decoder in the mode the
// settings ask for, the JPEG fallback, and the headerless pixel import.
#pragma once

#include "engine/bitmap.h"
#include "settings/settings.h"

#include <string>

namespace quill {

/// The four load attempts in order; an empty Bitmap when none gives an image.
/// The pixels come out upright (the scene as the camera was held).
Bitmap loadInput(const std::string& path, const Settings& settings);

/// Imports the file as headerless pixel data: mode 1 = 8 bits, mode 2 = 16 bits 5-6-5.
Bitmap importRawPixels(const std::string& path, int mode, const Settings& settings);

/// Brings a 48-bit decode down by the configured operator; other modes pass through.
Bitmap applyToneMapping(Bitmap image, const Settings& settings);

}  // namespace quill
