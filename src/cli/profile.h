// Settings profiles: hand-written preference files whose group "CLI" holds
// command-line options as keys, applied where "--PROFILE" stands.
#pragma once

#include "settings/settings.h"

#include <string>
#include <vector>

namespace quill {

/// Applies every known key of the profile's "CLI" group, in file order, with the
/// option table's value kinds and side effects. False when the path is empty or
/// the file cannot be read; a profile without that group changes nothing.
/// Values read only in part add their warnings to `warnings` when given.
[[nodiscard]] bool loadProfile(const std::string& path, Settings& settings,
                               std::vector<std::string>* warnings = nullptr);

}  // namespace quill
