// Tone mapping of a 48-bit camera decode.
#pragma once

#include "engine/bitmap.h"
#include "settings/settings.h"

namespace quill {

/// Brings a 48-bit decode down by the configured operator; other modes pass through.
Bitmap applyToneMapping(Bitmap image, const Settings& settings);

}  // namespace quill
