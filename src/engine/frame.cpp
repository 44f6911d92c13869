// Placeholder: the frame passes the image through until it is drawn.
#include "engine/frame.h"

namespace quill {

Bitmap applyFrame(Bitmap image, int, int, const Settings&)
{
    return image;
}

}  // namespace quill
