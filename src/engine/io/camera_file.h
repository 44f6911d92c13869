// What LibRaw, the decoder inside FreeImage, reads from a camera file's header:
// the orientation it turns every decode by and the kind of embedded preview.
// Kept apart from FreeImage's header, whose integer typedefs clash with LibRaw's.
#pragma once

#include "engine/io/truncation.h"
#include "platform/mapped_file.h"

#include <cstdint>

namespace quill {

/// What LibRaw reads from a camera file's header without decoding it.
struct CameraFileFacts {
    enum class Preview {
        none,
        jpeg,
        bitmap
    };
    bool readable = false;
    int orientation = 1;              // EXIF value 1..8 for the stored pixels
    Preview preview = Preview::none;  // the embedded preview FreeImage would return
};

/// Reads the orientation and, when `withPreview`, the kind of embedded preview.
CameraFileFacts inspectCameraFile(const MappedFile& input, bool withPreview);

/// The four things FreeImage's RAW loader can make of a camera file.
enum class CameraDecode {
    preview,
    display,
    halfSize,
    full
};

/// What a decode of the file would meet, known from its header alone.
struct DecodeForecast {
    enum class Claim {
        none,      // LibRaw does not take the file for a camera file
        readable,  // LibRaw reads its header
        damaged,   // LibRaw knows the format but its header or preview is broken
    };
    Claim claim = Claim::none;
    int64_t bytes = 0;         // memory the decode takes at its peak, as far as the header tells
    bool fromPreview = false;  // the decode returns the embedded preview, which is whole
    bool dataCutOff =
        false;  // the data LibRaw would read (raw data, or the preview it returns) reaches past the file's end
    bool sizeUnjustified = false;  // the header claims an image larger than the camera's own
    RawDataPlace rawData;          // where LibRaw reads the raw data
};

/// Opens the file's header with LibRaw (and reads the embedded preview's size
/// when the decode returns the preview) without decoding any pixel. An
/// embedded preview is never much larger than the camera's own image, nor that
/// image than the raw data it comes from: a claim beyond them is a damaged
/// header, not a size to allocate.
DecodeForecast forecastCameraDecode(const MappedFile& input, CameraDecode decode);

}  // namespace quill
