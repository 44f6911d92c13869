// Turning decoded camera images upright. FreeImage's RAW loader leaves LibRaw to
// apply the camera's orientation to every decode, and to JPEG previews through
// the EXIF block LibRaw writes into them, but hands bitmap previews over as the
// sensor stored them; these helpers find out which case a load was and finish
// the job, so every load mode shows the scene as the camera was held.
#pragma once

#include "engine/bitmap.h"

namespace quill {

/// The EXIF orientation tag of the image's main EXIF record; 0 when absent.
int exifOrientation(FIBITMAP* image);

/// Sets the EXIF orientation tag to 1 (top-left) when the image carries one,
/// so metadata copied from it does not make viewers turn it a second time.
void markUpright(FIBITMAP* image);

/// Turns and mirrors pixels stored with EXIF orientation `orientation` so they
/// show the scene upright; metadata and resolution are kept. Empty on failure.
Bitmap turnUpright(Bitmap image, int orientation);

/// The orientation that undoes `orientation` (6 and 8 swap; the rest undo themselves).
int inverseOrientation(int orientation);

}  // namespace quill
