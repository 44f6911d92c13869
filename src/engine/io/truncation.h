// Whether a camera file was cut short: its own structure points past its end.
// A decoder fed such a file fills the missing part with grey or garbage, or
// takes the next file's bytes; the loader refuses it instead.
#pragma once

#include "platform/mapped_file.h"

namespace quill {

/// True when a TIFF-based file (DNG, NEF, KDC, ...) places a directory or the
/// data of one of its images beyond its end, or a CIFF file (CRW) its root
/// directory. False for anything else, and for files that cannot be read.
bool containerCutShort(const MappedFile& input);

}  // namespace quill
