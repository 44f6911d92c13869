// The text watermark's font, loaded by the front end before a run so that a
// name the system cannot resolve stops the run before anything is converted.
#pragma once

#include "settings/settings.h"

namespace quill {

/// Loads the watermark font (`Font` at `Font Size` with its style and effect)
/// for the run; false when it cannot be loaded.
///
/// Hook: font resolution arrives with the text watermark renderer; until then
/// every font name is accepted and nothing is loaded.
bool loadWatermarkFontForRun(const Settings& settings);

/// Releases what loadWatermarkFontForRun loaded.
void releaseWatermarkFontForRun();

}  // namespace quill
