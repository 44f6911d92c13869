// The text or picture watermark laid over the image.
#pragma once

#include "app/job.h"
#include "engine/bitmap.h"
#include "engine/steps/watermark_font.h"
#include "settings/settings.h"

namespace quill {

/// Lays the text or picture watermark over the image; empty passes through.
/// A text watermark draws with `font`, the font the front end loaded for the
/// run; without one (null) the image gets no text watermark.
Bitmap applyWatermark(Bitmap image, const Settings& settings, const ConversionJob& job, const WatermarkFont* font);

}  // namespace quill
