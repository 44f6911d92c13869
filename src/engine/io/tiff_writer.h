// Writing a bitmap FreeImage holds as a TIFF with libtiff, in one pass:
// pixels, the layout tags FreeImage's own writer sets, the source's metadata
// and an ICC profile saying what the numbers mean. Deflate and LZW get a
// predictor and strips large enough to compress well.
#pragma once

#include "engine/io/colour_profile.h"
#include "engine/io/metadata.h"
#include "platform/unique_fd.h"

#include <FreeImage.h>

#include <cstdint>
#include <string>
#include <vector>

namespace quill {

/// What goes into the file besides the pixels.
struct TiffContents {
    const SourceMetadata* metadata = nullptr;  // none: no descriptive tags
    Resolution resolution;
    ColourEncoding encoding = ColourEncoding::sRgb;
    std::vector<uint8_t> embeddedProfile;  // for ColourEncoding::embedded
};

/// The rows a strip holds for rows of `rowBytes` bytes: about 64 KB a strip.
uint32_t rowsPerStripFor(uint64_t rowBytes, uint32_t height);

/// Writes `image` into the open, empty file `descriptor` (which it takes over
/// and closes) with the TIFF encoder flags of FreeImage (compression, CMYK).
/// False with `error` set when it cannot; errno then tells a system cause.
[[nodiscard]] bool writeTiff(UniqueFd descriptor, FIBITMAP* image, int32_t saveFlags, const TiffContents& contents,
                             std::string& error);

}  // namespace quill
