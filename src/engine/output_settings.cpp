#include "engine/output_settings.h"

namespace quill {

namespace {

using S = Settings;

constexpr OutputSettings kOutputSettings[] = {
    {"bmp", &S::bmpBpp},   {"dds", &S::ddsBpp},   {"exr", &S::exrBpp},
    {"gif", &S::gifBpp},   {"hdr", &S::hdrBpp},   {"ico", &S::icoBpp},
    {"j2k", &S::j2kBpp},   {"jng", &S::jngBpp},   {"jp2", &S::jp2Bpp},
    {"jpg", &S::jpgBpp, &S::jpgQuality},          {"jxr", &S::jxrBpp},
    {"pbm", &S::pbmBpp},   {"pcx", &S::pcxBpp},   {"pfm", &S::pfmBpp},
    {"pgm", &S::pgmBpp},   {"png", &S::pngBpp},   {"ppm", &S::ppmBpp},
    {"psd", &S::psdBpp},   {"tga", &S::tgaBpp},   {"tiff", &S::tiffBpp},
    {"wbmp", &S::wbmpBpp}, {"webp", &S::webpBpp, &S::webpQuality},
    {"xpm", &S::xpmBpp},
};

}  // namespace

const OutputSettings* outputSettingsFor(std::string_view key)
{
    for (const OutputSettings& row : kOutputSettings)
        if (row.key == key)
            return &row;
    return nullptr;
}

int32_t outputDepthSetting(std::string_view key, const Settings& settings)
{
    const OutputSettings* row = outputSettingsFor(key);
    return row ? settings.*(row->depth) : 0;
}

}  // namespace quill
