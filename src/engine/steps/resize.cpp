// Resize to the size in the settings, in pixels or percent of the current size,
// optionally keeping the aspect ratio or only shrinking larger images. Runs
// after rotation, so the target applies to the image as it will be seen.

#include "engine/steps/geometry.h"
#include "settings/setting_codes.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace quill {

namespace {

FREE_IMAGE_FILTER filterFor(int algorithm)
{
    switch (codeOf<ResizeAlgorithm>(algorithm)) {
    case ResizeAlgorithm::Box: return FILTER_BOX;
    case ResizeAlgorithm::Bilinear: return FILTER_BILINEAR;
    case ResizeAlgorithm::Bspline: return FILTER_BSPLINE;
    case ResizeAlgorithm::CatmullRom: return FILTER_CATMULLROM;
    case ResizeAlgorithm::Lanczos: return FILTER_LANCZOS3;
    default: return FILTER_BICUBIC;
    }
}

// Rounds half away from zero; values that do not fit a pixel count give 0 (no resize).
int roundedSize(double value)
{
    if (!std::isfinite(value) || value >= static_cast<double>(INT_MAX) || value <= static_cast<double>(INT_MIN))
        return 0;
    return static_cast<int>(std::lround(value));
}

// Pixels as given, or a percentage of the current size; any other unit gives 0.
int targetSize(int value, int unit, int current)
{
    if (unit == 0)
        return value;
    if (unit == 1)
        return roundedSize(static_cast<double>(value) / 100.0 * current);
    return 0;
}

}  // namespace

Bitmap applyResize(Bitmap image, const Settings& settings)
{
    if (!image || !settings.doImageResize)
        return image;
    const int width = static_cast<int>(FreeImage_GetWidth(image.get()));
    const int height = static_cast<int>(FreeImage_GetHeight(image.get()));
    const int targetWidth = targetSize(settings.imageWidth, settings.imageWidthUnit, width);
    const int targetHeight = targetSize(settings.imageHeight, settings.imageHeightUnit, height);
    if (targetWidth <= 0 || targetHeight <= 0)
        return image;
    if (width == targetWidth && height == targetHeight)
        return image;
    if (is(settings.imageResizeType, ResizeType::LargeImages) && width < targetWidth && height < targetHeight)
        return image;

    int newWidth = targetWidth;
    int newHeight = targetHeight;
    if (settings.keepAspectRatio && width > 0 && height > 0) {
        // A landscape or square image is fitted by its width, a portrait one by its height.
        if (width >= height) {
            const float ratio = static_cast<float>(width) / static_cast<float>(height);
            newHeight = roundedSize(targetWidth / static_cast<double>(ratio));
        } else {
            const float ratio = static_cast<float>(height) / static_cast<float>(width);
            newWidth = roundedSize(targetHeight / static_cast<double>(ratio));
        }
        // A very long strip still keeps one line rather than failing the file.
        newWidth = std::max(newWidth, 1);
        newHeight = std::max(newHeight, 1);
    }
    return Bitmap(FreeImage_Rescale(image.get(), newWidth, newHeight, filterFor(settings.imageResizeAlgorithm)));
}

}  // namespace quill
