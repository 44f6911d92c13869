// The bit depth each output is written at and the encoder flags of each output
// format. The depth conversion is the last pixel step, after frame and
// watermark, so nothing drawn later can add colours the depth cannot hold.

#include "engine/depth.h"

namespace quill {

namespace {

int32_t tiffFlags(const Settings& settings)
{
    static constexpr int32_t compression[] = {TIFF_NONE,    TIFF_CCITTFAX3, TIFF_CCITTFAX4,
                                              TIFF_PACKBITS, TIFF_DEFLATE,  TIFF_ADOBE_DEFLATE,
                                              TIFF_LZW,     TIFF_JPEG,      TIFF_LOGLUV};
    int32_t flags = 0;
    if (settings.tiffCompression >= 0 && settings.tiffCompression < 9)
        flags = compression[settings.tiffCompression];
    if (settings.tiffColorMode == 1)
        flags |= TIFF_CMYK;
    return flags;
}

int32_t jpegFlags(const Settings& settings)
{
    static constexpr int32_t chroma[] = {JPEG_SUBSAMPLING_444, JPEG_SUBSAMPLING_422, JPEG_SUBSAMPLING_420,
                                         JPEG_SUBSAMPLING_411};
    static constexpr int32_t saveAs[] = {0, JPEG_BASELINE, JPEG_OPTIMIZE, JPEG_PROGRESSIVE};
    int32_t flags = settings.jpgQuality;
    if (settings.jpgChroma >= 0 && settings.jpgChroma < 4)
        flags |= chroma[settings.jpgChroma];
    if (settings.jpgSaveAs >= 0 && settings.jpgSaveAs < 4)
        flags |= saveAs[settings.jpgSaveAs];
    return flags;
}

int32_t pngFlags(const Settings& settings)
{
    static constexpr int32_t compression[] = {PNG_Z_NO_COMPRESSION, PNG_Z_BEST_SPEED, PNG_Z_DEFAULT_COMPRESSION,
                                              PNG_Z_BEST_COMPRESSION};
    int32_t flags = 0;
    if (settings.pngCompression >= 0 && settings.pngCompression < 4)
        flags = compression[settings.pngCompression];
    if (settings.pngInterlaced)
        flags |= PNG_INTERLACED;
    return flags;
}

int32_t exrFlags(const Settings& settings)
{
    static constexpr int32_t compression[] = {EXR_NONE, EXR_ZIP, EXR_PIZ, EXR_PXR24, EXR_B44};
    return settings.exrCompression >= 0 && settings.exrCompression < 5 ? compression[settings.exrCompression] : 0;
}

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
    if (outputKey == "tiff")
        return tiffFlags(settings);
    if (outputKey == "jpg")
        return jpegFlags(settings);
    if (outputKey == "png")
        return pngFlags(settings);
    if (outputKey == "exr")
        return exrFlags(settings);
    if (outputKey == "bmp")
        return settings.bmpCompression == 1 ? BMP_SAVE_RLE : BMP_DEFAULT;
    if (outputKey == "tga")
        return settings.tgaCompression == 1 ? TARGA_SAVE_RLE : TARGA_DEFAULT;
    if (outputKey == "jxr")
        return JXR_LOSSLESS;
    if (outputKey == "webp")
        return settings.webpQuality == 100 ? WEBP_LOSSLESS : settings.webpQuality;
    return 0;
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
