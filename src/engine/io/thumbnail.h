// A file manager's thumbnail of a camera file: its embedded preview (or a
// display-size decode where it has none), upright, fitted in a square and
// written as PNG.
#pragma once

#include "engine/bitmap.h"
#include "platform/mapped_file.h"

#include <string>

namespace quill {

/// The picture fitted in `size` x `size` pixels, aspect kept, never enlarged.
/// Empty when the file is no camera file or JPEG (headerless pixel data is
/// never guessed at for a thumbnail) or cannot be read.
Bitmap loadThumbnail(const MappedFile& input, int size);

/// Writes the thumbnail of `inputPath` as a PNG file at `pngPath`; false,
/// and nothing written, when there is none.
[[nodiscard]] bool writeThumbnail(const std::string& inputPath, int size, const std::string& pngPath);

}  // namespace quill
