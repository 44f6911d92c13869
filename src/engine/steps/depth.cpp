// The bit depth each output is written at and the encoder flags of each output
// format. The depth conversion is the last pixel step, after frame and
// watermark, so nothing drawn later can add colours the depth cannot hold.

#include "engine/steps/depth.h"

#include "settings/output_formats.h"

namespace quill {

namespace {

// FreeImage's 1, 4 and 8-bit (greyscale) conversions refuse or ignore 48 and
// 96-bit images; those reach them through 24 bits.
Bitmap standardColour(Bitmap image)
{
    if (image && FreeImage_GetBPP(image.get()) > 32)
        image.reset(FreeImage_ConvertTo24Bits(image.get()));
    return image;
}

Bitmap converted(Bitmap image, int32_t depth, std::string_view outputKey)
{
    switch (depth) {
    case 96: return Bitmap(FreeImage_ConvertToRGBF(image.get()));
    case 48: return Bitmap(FreeImage_ConvertToRGB16(image.get()));
    case 32: return Bitmap(FreeImage_ConvertTo32Bits(image.get()));
    case 24: return Bitmap(FreeImage_ConvertTo24Bits(image.get()));
    case 16:
        image = standardColour(std::move(image));
        if (!image)
            return image;
        if (outputKey == "ico" || outputKey == "tga")
            return Bitmap(FreeImage_ConvertTo16Bits555(image.get()));
        return Bitmap(FreeImage_ConvertTo16Bits565(image.get()));
    case 8:
        if (outputKey == "j2k" || outputKey == "jp2" || outputKey == "jpg" || outputKey == "jxr") {
            image = standardColour(std::move(image));
            return image ? Bitmap(FreeImage_ConvertTo8Bits(image.get())) : Bitmap();
        }
        if (FreeImage_GetBPP(image.get()) != 24) {
            image.reset(FreeImage_ConvertTo24Bits(image.get()));
            if (!image)
                return image;
        }
        return Bitmap(FreeImage_ColorQuantizeEx(image.get(), FIQ_WUQUANT, 256, 0, nullptr));
    case 4:
        image = standardColour(std::move(image));
        return image ? Bitmap(FreeImage_ConvertTo4Bits(image.get())) : Bitmap();
    case 1:
        image = standardColour(std::move(image));
        return image ? Bitmap(FreeImage_Dither(image.get(), FID_FS)) : Bitmap();
    default: return {};
    }
}

}  // namespace

int32_t saveFlagsFor(std::string_view outputKey, const Settings& settings)
{
    const OutputFormatRow* row = findOutputFormatRow(outputKey);
    return row && row->saveFlags ? row->saveFlags(settings) : 0;
}

Bitmap convertToTargetDepth(Bitmap image, ConversionJob& job, const FormatTables& formats)
{
    if (!image)
        return image;
    if (job.automaticDepth)
        job.targetDepth = automaticDepth(formats, job.outputExtension, job.sourceDepth);
    if (static_cast<int32_t>(FreeImage_GetBPP(image.get())) == job.targetDepth)
        return image;
    Bitmap result = converted(std::move(image), job.targetDepth, job.outputExtension);
    // A conversion FreeImage could not make must not be written as if it had been.
    if (result && static_cast<int32_t>(FreeImage_GetBPP(result.get())) != job.targetDepth)
        return {};
    return result;
}

}  // namespace quill
