// LibRaw's own reading of a camera file's header: the same library FreeImage
// decodes with, so the answer matches what FreeImage's RAW loader did.

#include "engine/camera_file.h"

#include <libraw.h>

#include <memory>

namespace quill {

namespace {

// LibRaw's flip code (bit 0 mirror left-right, bit 1 mirror top-bottom, bit 2
// transpose) as an EXIF orientation, the way LibRaw itself converts it.
int orientationFromFlip(int flip)
{
    static constexpr int exif[8] = {1, 2, 4, 3, 5, 8, 6, 7};
    return flip >= 0 && flip < 8 ? exif[flip] : 1;
}

}  // namespace

CameraFileFacts inspectCameraFile(const std::string& path, bool withPreview)
{
    CameraFileFacts facts;
    // Without the default callbacks LibRaw reports nothing on the console.
    auto raw = std::make_unique<LibRaw>(LIBRAW_OPIONS_NO_MEMERR_CALLBACK | LIBRAW_OPIONS_NO_DATAERR_CALLBACK);
    if (raw->open_file(path.c_str()) != LIBRAW_SUCCESS)
        return facts;
    facts.readable = true;
    facts.orientation = orientationFromFlip(raw->imgdata.sizes.flip);
    if (withPreview && raw->unpack_thumb() == LIBRAW_SUCCESS) {
        switch (raw->imgdata.thumbnail.tformat) {
        case LIBRAW_THUMBNAIL_UNKNOWN: break;
        case LIBRAW_THUMBNAIL_JPEG: facts.preview = CameraFileFacts::Preview::jpeg; break;
        default: facts.preview = CameraFileFacts::Preview::bitmap; break;
        }
    }
    raw->recycle();
    return facts;
}

}  // namespace quill
