// The fixed texts of the command line: usage, banner.
#pragma once

#include <string>
#include <vector>

namespace quill {

struct FormatTables;

/// The executable's own file name, without folder and extension, as it is
/// stored on disk (a renamed copy shows its new name).
std::string executableName();

/// The usage text, one entry per printed line.
std::vector<std::string> usageLines(const std::string& programName, const FormatTables& formats);

/// Title, maker's notice (with "©" written "(c)"), web address and a line
/// holding one blank.
std::vector<std::string> bannerLines();

}  // namespace quill
