// The thumbnailer file managers call: "--thumbnail=SIZE INPUT OUTPUT" writes
// the camera file's embedded preview, upright and fitted in SIZE x SIZE, as a
// PNG file. The decode runs in a render process of its own, so a file that
// crashes or hangs the decoder costs that thumbnail only; nothing is printed.
#pragma once

#include "cli/arguments.h"

namespace quill {

/// Runs the thumbnail mode; the process exit code: 0 when OUTPUT was written,
/// 1 otherwise (OUTPUT is then left as it was).
int runThumbnailMode(const ArgumentList& arguments);

}  // namespace quill
