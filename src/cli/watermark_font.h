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
///
/// Hook: the check is not wired yet. Every font name is accepted and `font`
/// stays empty, so runs do not start the Qt layer and the worker leaves the
/// text watermark out. Wiring it means loadWatermarkFont(settings) here.
bool loadWatermarkFontForRun(const Settings& settings, std::optional<WatermarkFont>& font);

}  // namespace quill
