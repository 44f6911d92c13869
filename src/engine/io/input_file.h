// The input of one conversion as FreeImage reads it: from the one mapping of
// the file that every reader of the conversion shares.
#pragma once

#include "engine/bitmap.h"
#include "platform/mapped_file.h"

namespace quill {

/// FreeImage's signature check on the file's bytes; FIF_UNKNOWN when it could not be read.
FREE_IMAGE_FORMAT freeImageTypeOf(const MappedFile& input);

/// FreeImage's loader for `format` on the file's bytes; empty when it gives no image.
Bitmap loadFromMemory(FREE_IMAGE_FORMAT format, const MappedFile& input, int flags);

}  // namespace quill
