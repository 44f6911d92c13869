// Placeholder: the watermark passes the image through until it is drawn.
#include "engine/watermark.h"

namespace quill {

Bitmap applyWatermark(Bitmap image, int, int, const Settings&, const ConversionJob&)
{
    return image;
}

}  // namespace quill
