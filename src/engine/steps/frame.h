// The solid mitred frame painted over the image border.
#pragma once

#include "engine/bitmap.h"
#include "settings/settings.h"

namespace quill {

/// The band widths as drawn on a width x height image. Negative widths count
/// as 0; when a pair is wider than its side (left + right > width), the two
/// share the side in proportion to their widths, so the frame never reaches
/// past the image.
struct FrameBands {
    int left = 0;
    int right = 0;
    int top = 0;
    int bottom = 0;
};
FrameBands frameBands(const Settings& settings, int width, int height);

/// Paints the four bands over the border; the image keeps its size.
Bitmap applyFrame(Bitmap image, const Settings& settings);

}  // namespace quill
