// Which settings belong to each output format: its depth setting ("TIFF BPP")
// and, for the lossy formats, its quality. The run's checks, the debug listing
// and the depth conversion read this one table.
#pragma once

#include "settings/settings.h"

#include <cstdint>
#include <string_view>

namespace quill {

struct OutputSettings {
    std::string_view key;
    int32_t Settings::*depth;
    int32_t Settings::*quality = nullptr;  // checked 1..100 where set
};

/// The row of an output key; nothing for a key outside the table.
const OutputSettings* outputSettingsFor(std::string_view key);

/// The output format's depth setting (0: keep the source's); 0 for an unknown key.
int32_t outputDepthSetting(std::string_view key, const Settings& settings);

}  // namespace quill
