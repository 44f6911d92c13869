#include "engine/io/thumbnail.h"

#include "engine/io/identify.h"
#include "engine/io/load.h"
#include "settings/setting_codes.h"
#include "settings/settings.h"

#include <algorithm>
#include <cmath>
#include <unistd.h>

namespace quill {

Bitmap loadThumbnail(const MappedFile& input, int size)
{
    if (!input.isOpen() || size <= 0)
        return {};
    const std::string_view sample = input.bytes().substr(0, kContentSampleBytes);
    if (contentKindOf(sample) == ContentKind::unknown)
        return {};
    Settings settings;
    settings.rawLoadAs = static_cast<int32_t>(RawLoadAs::Auto);  // the embedded preview
    FailureReason reason = FailureReason::none;
    Bitmap image = loadInput(input, settings, reason);
    if (!image)
        return {};
    if (FreeImage_GetBPP(image.get()) != 24 && FreeImage_GetBPP(image.get()) != 32)
        image = Bitmap(FreeImage_ConvertTo24Bits(image.get()));
    if (!image)
        return {};
    const unsigned width = FreeImage_GetWidth(image.get());
    const unsigned height = FreeImage_GetHeight(image.get());
    const double scale = std::min(1.0, double(size) / double(std::max(width, height)));
    if (scale >= 1.0)
        return image;
    const int fittedWidth = std::max(1, int(std::lround(width * scale)));
    const int fittedHeight = std::max(1, int(std::lround(height * scale)));
    return Bitmap(FreeImage_Rescale(image.get(), fittedWidth, fittedHeight, FILTER_BILINEAR));
}

bool writeThumbnail(const std::string& inputPath, int size, const std::string& pngPath)
{
    const MappedFile input(inputPath);
    const Bitmap thumbnail = loadThumbnail(input, size);
    if (!thumbnail)
        return false;
    // Speed over size: a file manager writes it once into its own cache.
    if (FreeImage_Save(FIF_PNG, thumbnail.get(), pngPath.c_str(), PNG_Z_BEST_SPEED))
        return true;
    ::unlink(pngPath.c_str());
    return false;
}

}  // namespace quill
