// The settings that belong to an output format, looked up by its key in the
// one output-format table.
#pragma once

#include "settings/output_formats.h"
#include "settings/settings.h"

#include <cstdint>
#include <string_view>

namespace quill {

/// The output format's depth setting (0: keep the source's); 0 for an unknown key.
int32_t outputDepthSetting(std::string_view key, const Settings& settings);

}  // namespace quill
