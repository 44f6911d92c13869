// Tone mapping: brings a 48-bit camera decode down to an ordinary 24-bit image
// by the chosen operator. Runs after resize, so the operator works on the
// pixels that will be written and not on the full sensor.

#include "engine/steps/tone_mapping.h"

#include "settings/setting_codes.h"

namespace quill {

namespace {

bool isHighDynamicRange(FIBITMAP* image)
{
    return FreeImage_GetImageType(image) != FIT_BITMAP;
}

}  // namespace

Bitmap applyToneMapping(Bitmap image, const Settings& settings)
{
    // Only the two 48-bit decodes are tone mapped; an image that reached the
    // pipeline by the JPEG or pixel fallback is ordinary already and keeps its look.
    if (!image || !(is(settings.rawLoadAs, RawLoadAs::Rgb48HalfSize) || is(settings.rawLoadAs, RawLoadAs::Rgb48)) ||
        !isHighDynamicRange(image.get()))
        return image;
    switch (codeOf<ToneMapping>(settings.rawToneMapping)) {
    case ToneMapping::Linear: return Bitmap(FreeImage_ConvertTo24Bits(image.get()));
    case ToneMapping::AdaptiveLogarithmic: return Bitmap(FreeImage_TmoDrago03(image.get(), 2.2, 0.0));
    case ToneMapping::DynamicRangeReduction: return Bitmap(FreeImage_TmoReinhard05(image.get(), 0.0, 0.0));
    case ToneMapping::GradientDomain: return Bitmap(FreeImage_TmoFattal02(image.get(), 0.5, 0.85));
    default: return image;
    }
}

}  // namespace quill
