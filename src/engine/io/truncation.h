// Whether a camera file was cut short: the data its decoder reads lies past
// its end. A decoder fed such a file fills the missing part with grey or
// garbage, or takes the next file's bytes; the loader refuses it instead.
// Directories the decoder never reads are not judged: camera firmware writes
// some whose data is missing, and their files are whole pictures.
#pragma once

#include "platform/mapped_file.h"

#include <cstdint>

namespace quill {

/// Where the camera decoder reads the raw data, as its own header reading
/// placed it: the TIFF directory that holds it, when one does.
struct RawDataPlace {
    int64_t offset = 0;             // the first strip, or the table of the tiles
    int64_t width = 0, height = 0;  // the directory's image; 0 when no directory holds it
    bool tiled = false;
};

/// True when a TIFF-based file (DNG, NEF, KDC, ...) places its root directory,
/// or a strip or tile of the directory at `rawData`, beyond its end, or a CIFF
/// file (CRW) its root directory. False for anything else, and for files that
/// cannot be read.
bool containerCutShort(const MappedFile& input, const RawDataPlace& rawData = {});

}  // namespace quill
