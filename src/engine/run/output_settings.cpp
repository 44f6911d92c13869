#include "engine/run/output_settings.h"

namespace quill {

int32_t outputDepthSetting(std::string_view key, const Settings& settings)
{
    const OutputFormatRow* row = findOutputFormatRow(key);
    return row ? settings.*(row->depth) : 0;
}

}  // namespace quill
