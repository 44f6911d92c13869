// The one line of progress a terminal shows while a batch converts: files done
// of the total, the current file, the time taken and the time left. Rewritten
// in place, and wiped before the totals, so the run's printed lines stay the
// same as in a pipe or a file, where nothing of it appears.
#pragma once

#include "engine/run/progress.h"

#include <chrono>
#include <cstdint>
#include <string>

namespace quill {

/// The text of the progress line (without the carriage return), narrower
/// than `columns` terminal columns when given, by shortening the file name;
/// control characters in the name are shown escaped.
std::string progressLine(int32_t done, int32_t total, const std::string& currentFile, std::chrono::milliseconds elapsed,
                         size_t columns = 0);

/// True when standard output is a terminal, so the line may be shown.
bool progressLineWanted();

/// Shows the line for the record's state, replacing the previous one.
void showProgressLine(ProgressRecord& progress, int32_t total, std::chrono::milliseconds elapsed);

/// Removes the line so the next printed line starts on a clean row.
void clearProgressLine();

}  // namespace quill
