// The configuration file "config.ini" of the window front end: loads the
// settings record at start-up (upgrading files of older layouts) and saves it
// whole. The command line never touches it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "settings/defaults.h"
#include "settings/settings.h"

namespace quill {

/// Layout version that saving always writes as General/CFG.
inline constexpr int32_t kConfigLayoutVersion = 19;

/// The data folder + "config.ini".
std::string configFilePath();

/// Reads every field of the field table from the file at `path` and records the
/// path in the settings. Missing keys take the window defaults (CFG 0, X and Y
/// 100); a file that cannot be read gives the window defaults for this desktop.
/// Returns whether the file was read.
bool loadSettings(Settings& settings, const std::string& path);
bool loadSettings(Settings& settings, const std::string& path, const std::vector<std::string>& inputFormats,
                  const std::vector<std::string>& outputFormats, DesktopSize primaryDesktop = kAssumedDesktop);

/// Writes the settings to `path` through a temporary file renamed over it, so
/// a failure (unwritable folder, full disk) keeps the earlier file whole.
/// Returns whether the file was written; callers show no message either way.
bool saveSettings(const Settings& settings, const std::string& path);
bool saveSettings(const Settings& settings, const std::string& path, const std::vector<std::string>& inputFormats,
                  const std::vector<std::string>& outputFormats);

}  // namespace quill
