// An open libtiff file, closed (and its descriptor with it) when its owner goes.
#pragma once

#include <tiffio.h>

#include <memory>

namespace quill {

struct TiffClose {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};
using TiffFile = std::unique_ptr<TIFF, TiffClose>;

}  // namespace quill
