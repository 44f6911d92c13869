// The pixel size of a camera file from its header alone, for sizing a batch's
// memory use before anything is decoded. Kept apart from FreeImage's header,
// whose integer typedefs clash with LibRaw's.
#include <libraw/libraw.h>

#include <cstdint>
#include <memory>
#include <string>

namespace quill {

int64_t cameraPixelCount(const std::string& path)
{
    auto decoder = std::make_unique<LibRaw>();
    if (decoder->open_file(path.c_str()) != LIBRAW_SUCCESS)
        return 0;
    const auto& sizes = decoder->imgdata.sizes;
    return static_cast<int64_t>(sizes.raw_width) * sizes.raw_height;
}

}  // namespace quill
