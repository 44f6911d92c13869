// Output file names made from the name template, and the same token expansion
// for the text watermark.
#pragma once

#include "app/job.h"
#include "settings/settings.h"

#include <string>
#include <string_view>

namespace quill {

/// The output file name (no folder) for the job's current input file.
std::string outputNameFor(std::string_view nameTemplate, const ConversionJob& job);

/// Whether the template draws on the random number (%rnd%), which no later
/// run draws again, so its outputs cannot be found by name.
bool nameTemplateUsesRandomNumber(std::string_view nameTemplate);

/// Whether names from the template hold values of the rendered image:
/// %width%, %height%, and %bpp% when the depth is decided per file.
bool nameTemplateNeedsImage(std::string_view nameTemplate, bool automaticDepth);

/// Whether this file's name changes with the rendered image's values. Unlike
/// the template alone, this sees tokens an input's own name brings in.
bool nameDependsOnImage(std::string_view nameTemplate, const ConversionJob& job);

/// Whether this file's name changes with the random number.
bool nameDependsOnRandomNumber(std::string_view nameTemplate, const ConversionJob& job);

/// The watermark text with the template's tokens expanded.
std::string expandWatermarkText(std::string_view text, const ConversionJob& job);

/// True when the text holds a token whose value depends on the files before
/// it: %n% or %rnd%, in any letter case.
bool showsCounterTokens(std::string_view text);

}  // namespace quill
