// Pieces of the conversion worker that touch the file system around a
// conversion: the mirrored subfolders and the output's modification date.
#pragma once

#include "settings/settings.h"

#include <cstdint>
#include <ctime>
#include <string>

namespace quill {

/// Creates output folder + relative subfolder level by level; true when it
/// exists as a folder afterwards.
bool createSubfolders(const std::string& outputFolder, const std::string& relativeSubfolder);

/// The moment a local date-time stored as seconds since 1970-01-01 00:00:00
/// local time stands for (daylight saving time taken into account).
std::time_t timeFromLocalSeconds(int32_t localSeconds);

/// Applies `File Timestamp` to a written output: 1 copies the input's
/// modification time, 2 sets `Custom Timestamp`, anything else leaves it.
bool applyOutputTimestamp(const std::string& outputPath, const std::string& inputPath, const Settings& settings);

}  // namespace quill
