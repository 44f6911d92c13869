#include "cli/watermark_font.h"

namespace quill {

bool loadWatermarkFontForRun(const Settings&, std::optional<WatermarkFont>& font)
{
    font.reset();
    return true;
}

}  // namespace quill
