// The encoder flags of each output format, from its compression, colour mode
// and quality settings.
#include "settings/output_formats.h"

#include "settings/setting_codes.h"

namespace quill {

int32_t tiffFlags(const Settings& settings)
{
    static constexpr int32_t compression[] = {TIFF_NONE,     TIFF_CCITTFAX3, TIFF_CCITTFAX4,
                                              TIFF_PACKBITS, TIFF_DEFLATE,   TIFF_ADOBE_DEFLATE,
                                              TIFF_LZW,      TIFF_JPEG,      TIFF_LOGLUV};
    int32_t flags = 0;
    if (settings.tiffCompression >= 0 && settings.tiffCompression < 9)
        flags = compression[settings.tiffCompression];
    if (is(settings.tiffColorMode, TiffColorMode::Cmyk))
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

int32_t bmpFlags(const Settings& settings)
{
    return is(settings.bmpCompression, RleCompression::Rle) ? BMP_SAVE_RLE : BMP_DEFAULT;
}

int32_t tgaFlags(const Settings& settings)
{
    return is(settings.tgaCompression, RleCompression::Rle) ? TARGA_SAVE_RLE : TARGA_DEFAULT;
}

int32_t jxrFlags(const Settings&)
{
    return JXR_LOSSLESS;
}

int32_t webpFlags(const Settings& settings)
{
    return settings.webpQuality == 100 ? WEBP_LOSSLESS : settings.webpQuality;
}

}  // namespace quill
