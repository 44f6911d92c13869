#include "cli/watermark_font.h"

namespace quill {

bool loadWatermarkFontForRun(const Settings& settings, std::optional<WatermarkFont>& font)
{
    font = loadWatermarkFont(settings);
    return font.has_value();
}

}  // namespace quill
