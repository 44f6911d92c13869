// Loading an input file into the working bitmap: the RAW decoder in the mode the
// settings ask for, the JPEG fallback, and the headerless pixel import.
#pragma once

#include "engine/bitmap.h"
#include "engine/run/failure_reason.h"
#include "platform/mapped_file.h"
#include "settings/settings.h"

#include <string>

namespace quill {

/// The load attempts in order; an empty Bitmap when none gives an image, and
/// `reason` then says why. The pixels come out upright (the scene as the
/// camera was held). The pixel import runs only in the pixel modes (RGB8,
/// RGB16): in the camera modes a file that neither the camera decoder nor the
/// JPEG reading opens fails rather than turning into noise. Every attempt
/// reads the one mapping of the file.
Bitmap loadInput(const MappedFile& input, const Settings& settings, FailureReason& reason);

/// The same, opening the file at `path`.
Bitmap loadInput(const std::string& path, const Settings& settings, FailureReason& reason);

/// The same, when the reason does not matter.
Bitmap loadInput(const std::string& path, const Settings& settings);

/// Imports the file as headerless pixel data: mode 1 = 8 bits, mode 2 = 16 bits 5-6-5.
/// A buffer beyond the decode memory share is refused, and `reason` (when given) says so.
Bitmap importRawPixels(const MappedFile& input, int mode, const Settings& settings, FailureReason* reason = nullptr);

/// The same, opening the file at `path`.
Bitmap importRawPixels(const std::string& path, int mode, const Settings& settings, FailureReason* reason = nullptr);

}  // namespace quill
