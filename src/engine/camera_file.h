// What LibRaw, the decoder inside FreeImage, reads from a camera file's header:
// the orientation it turns every decode by and the kind of embedded preview.
// Kept apart from FreeImage's header, whose integer typedefs clash with LibRaw's.
#pragma once

#include <string>

namespace quill {

/// What LibRaw reads from a camera file's header without decoding it.
struct CameraFileFacts {
    enum class Preview { none, jpeg, bitmap };
    bool readable = false;
    int orientation = 1;              // EXIF value 1..8 for the stored pixels
    Preview preview = Preview::none;  // the embedded preview FreeImage would return
};

/// Reads the orientation and, when `withPreview`, the kind of embedded preview.
CameraFileFacts inspectCameraFile(const std::string& path, bool withPreview);

}  // namespace quill
