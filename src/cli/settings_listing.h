// The command line's debug listing of the effective settings and its wording
// of a failed check. Each check's settings are listed right before the check,
// so the listing ends where a run fails.
#pragma once

#include "engine/run/run_preparation.h"
#include "settings/settings.h"

#include <functional>
#include <string>

namespace quill {

/// Prints one console line.
using LinePrinter = std::function<void(const std::string& line)>;

/// Prints the listing of a path run's checks: each check's settings in the
/// order prepareRun checks them, up to the check that failed.
void listSettings(const Settings& settings, const ConversionJob& job, const FormatTables& formats,
                  const Preparation& preparation, const LinePrinter& print);

/// The "Error: " line of a failed check.
std::string errorLine(const CheckFailure& failure);

/// The gamma as the listing shows it: two decimals, "NaN", "+Infinity", "-Infinity".
std::string gammaText(float gamma);

}  // namespace quill
