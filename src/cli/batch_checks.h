// The checks a command-line run makes before it queues anything, with the
// debug listing of the effective settings woven in: each check's settings are
// listed right before the check, so the listing ends where a run fails.
#pragma once

#include "engine/watermark_font.h"
#include "settings/settings.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace quill {

struct FormatTables;

/// Prints one console line.
using LinePrinter = std::function<void(const std::string& line)>;

/// Debug listing of the load settings of the input format ("raw": five lines).
void listInputSettings(std::string_view inputFormat, const Settings& settings, const LinePrinter& print);

/// Lists (when debug) and checks the settings of the output format: its depth
/// must be 0 (keep the source's) or one the format offers, its quality 1..100.
/// Returns the "Error: " line of the first failure.
std::optional<std::string> checkOutputSettings(std::string_view outputKey, const Settings& settings,
                                               const FormatTables& formats, bool debug,
                                               const LinePrinter& print);

/// Lists (when debug) and checks, in this order, rotation, resize, flips,
/// colour correction, greyscale, threshold, dither, frame, watermark and
/// naming. A text watermark's font is loaded into `watermarkFont` for the
/// run. Returns the "Error: " line of the first failure.
std::optional<std::string> checkImageSettings(const Settings& settings, bool debug,
                                              const LinePrinter& print,
                                              std::optional<WatermarkFont>& watermarkFont);

/// The output format's depth setting ("TIFF BPP" for "tiff"); 0 for an unknown key.
int32_t outputDepthSetting(std::string_view outputKey, const Settings& settings);

/// The gamma as the listing shows it: two decimals, "NaN", "+Infinity", "-Infinity".
std::string gammaText(float gamma);

}  // namespace quill
