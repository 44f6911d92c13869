#include "cli/watermark_font.h"

namespace quill {

bool loadWatermarkFontForRun(const Settings&)
{
    return true;
}

void releaseWatermarkFontForRun() {}

}  // namespace quill
