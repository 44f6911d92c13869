// What an output's numbers mean: the colour encoding each load mode and tone
// mapping leaves the pixels in, and the ICC profile (built with Little CMS)
// that says so inside the written file. Colour-managed programs read the
// profile; without one they take every file for sRGB and show a linear decode
// far too dark.
#pragma once

#include <FreeImage.h>

#include <cstdint>
#include <vector>

namespace quill {

/// How the pixels of a rendered image encode colour.
enum class ColourEncoding : uint8_t {
    sRgb,        // display-referred sRGB: previews, JPEGs, tone-mapped decodes
    display709,  // the camera decode for display: sRGB primaries, BT.709 curve (slope 4.5 toe)
    linear,      // the 48-bit decodes untouched: sRGB primaries, gamma 1.0
    adobeRgb,    // a preview the camera rendered in Adobe RGB (1998)
    embedded,    // a preview or JPEG with a profile of its own
};

/// The encoding of a freshly loaded image. `ordinaryImage`: a JPEG read as
/// such; `fromPreview`: the camera file's embedded preview; `declaresAdobeRgb`:
/// the source's EXIF or maker note names Adobe RGB. A usable RGB profile the
/// image carries is copied into `embeddedProfile` (and gives `embedded`).
ColourEncoding encodingOfLoad(FIBITMAP* loaded, bool ordinaryImage, bool fromPreview, bool declaresAdobeRgb,
                              std::vector<uint8_t>& embeddedProfile);

/// The encoding after the tone-mapping step: its display operators leave
/// sRGB; "Linear" only narrows the samples and leaves them linear.
ColourEncoding encodingAfterToneMapping(ColourEncoding before, bool toneMapped, int32_t rawToneMapping);

/// The ICC profile for pixels of that encoding, RGB or grey (the same curve).
/// `embeddedProfile` is used for `embedded`. Empty only when Little CMS fails.
std::vector<uint8_t> iccProfileFor(ColourEncoding encoding, bool grey, const std::vector<uint8_t>& embeddedProfile);

/// The EXIF ColorSpace value that agrees: 1 (sRGB) for sRGB-encoded pixels,
/// 0xFFFF (uncalibrated) for every other encoding.
uint16_t exifColourSpaceFor(ColourEncoding encoding);

}  // namespace quill
