// The text or picture watermark laid over the image.
#pragma once

#include "app/job.h"
#include "engine/bitmap.h"
#include "settings/settings.h"

namespace quill {

/// Lays the text or picture watermark over the image; empty passes through.
Bitmap applyWatermark(Bitmap image, int width, int height, const Settings& settings,
                      const ConversionJob& job);

}  // namespace quill
