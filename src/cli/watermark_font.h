// The text watermark's font, loaded by the front end before a run so that a
// name the system cannot resolve stops the run before anything is converted.
#pragma once

#include "engine/watermark_font.h"
#include "settings/settings.h"

#include <optional>

namespace quill {

/// Loads the watermark font (`Font` at `Font Size` with its style and effect)
/// into `font` for the run; false when it cannot be loaded. The font lives as
/// long as the caller keeps `font`, and the conversion worker draws with it.
/// Starts the Qt layer that fonts need, so call it from the main thread.
bool loadWatermarkFontForRun(const Settings& settings, std::optional<WatermarkFont>& font);

}  // namespace quill
