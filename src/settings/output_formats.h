// The output formats in one table: the extension each writes, its FreeImage
// identifier, the depths it offers, and the settings that belong to it (its
// depth setting with the configuration key and the command-line option that
// name it, and its quality where it has one). The settings field table, the
// option table, the run's checks and the engine all read this table.
#pragma once

#include "settings/settings.h"

#include <FreeImage.h>

#include <cstdint>
#include <string_view>

namespace quill {

// The encoder flags of the formats that have settings for them.
int32_t bmpFlags(const Settings& settings);
int32_t exrFlags(const Settings& settings);
int32_t jpegFlags(const Settings& settings);
int32_t jxrFlags(const Settings& settings);
int32_t pngFlags(const Settings& settings);
int32_t tgaFlags(const Settings& settings);
int32_t tiffFlags(const Settings& settings);
int32_t webpFlags(const Settings& settings);

struct OutputFormatRow {
    std::string_view key;                // lower case; also the written extension
    FREE_IMAGE_FORMAT formatIdentifier;  // FIF_UNKNOWN: a depth setting with no writer of its own
    std::string_view description;
    std::string_view offeredDepths;  // "1,4,8,24,32,48,96"
    std::string_view depthKey;       // "TIFF BPP" in the Output group
    std::string_view depthOption;    // "--TIFF-BPP"
    int32_t Settings::*depth;
    int32_t (*saveFlags)(const Settings&) = nullptr;  // none: FreeImage's defaults
    int32_t Settings::*quality = nullptr;             // 1..100 where the format has one
};

// Key order is the configuration file's. The portable any-maps are written in
// their ASCII variants (FIF_PBM, not FIF_PBMRAW). DDS, PCX and PSD keep a depth
// setting although nothing writes them.
inline constexpr OutputFormatRow kOutputFormatRows[] = {
    {"bmp", FIF_BMP, "Windows or OS/2 Bitmap", "1,4,8,16,24,32", "BMP BPP", "--BMP-BPP", &Settings::bmpBpp, bmpFlags},
    {"dds", FIF_UNKNOWN, "", "", "DDS BPP", "--DDS-BPP", &Settings::ddsBpp},
    {"exr", FIF_EXR, "ILM OpenEXR", "96", "EXR BPP", "--EXR-BPP", &Settings::exrBpp, exrFlags},
    {"gif", FIF_GIF, "Graphics Interchange Format", "8", "GIF BPP", "--GIF-BPP", &Settings::gifBpp},
    {"hdr", FIF_HDR, "High Dynamic Range Image", "96", "HDR BPP", "--HDR-BPP", &Settings::hdrBpp},
    {"ico", FIF_ICO, "Windows Icon", "1,4,8,16,24,32", "ICO BPP", "--ICO-BPP", &Settings::icoBpp},
    {"j2k", FIF_J2K, "JPEG-2000 Codestream", "8,24,32,48", "J2K BPP", "--J2K-BPP", &Settings::j2kBpp},
    {"jng", FIF_JNG, "JPEG Network Graphics", "24,32", "JNG BPP", "--JNG-BPP", &Settings::jngBpp},
    {"jp2", FIF_JP2, "JPEG-2000 File Format", "8,24,32,48", "JP2 BPP", "--JP2-BPP", &Settings::jp2Bpp},
    {"jpg", FIF_JPEG, "JPEG File Format", "8,24", "JPG BPP", "--JPG-BPP", &Settings::jpgBpp, jpegFlags,
     &Settings::jpgQuality},
    {"jxr", FIF_JXR, "JPEG XR Image Format", "1,8,16,24,32,48,96", "JXR BPP", "--JXR-BPP", &Settings::jxrBpp, jxrFlags},
    {"pbm", FIF_PBM, "Portable Bitmap", "1", "PBM BPP", "--PBM-BPP", &Settings::pbmBpp},
    {"pcx", FIF_UNKNOWN, "", "", "PCX BPP", "--PCX-BPP", &Settings::pcxBpp},
    {"pfm", FIF_PFM, "Portable Floatmap", "96", "PFM BPP", "--PFM-BPP", &Settings::pfmBpp},
    {"pgm", FIF_PGM, "Portable Greymap", "8", "PGM BPP", "--PGM-BPP", &Settings::pgmBpp},
    {"png", FIF_PNG, "Portable Network Graphics", "1,4,8,24,32,48", "PNG BPP", "--PNG-BPP", &Settings::pngBpp,
     pngFlags},
    {"ppm", FIF_PPM, "Portable Pixelmap", "24,48", "PPM BPP", "--PPM-BPP", &Settings::ppmBpp},
    {"psd", FIF_UNKNOWN, "", "", "PSD BPP", "--PSD-BPP", &Settings::psdBpp},
    {"tga", FIF_TARGA, "Truevision Targa", "8,16,24,32", "TGA BPP", "--TGA-BPP", &Settings::tgaBpp, tgaFlags},
    {"tiff", FIF_TIFF, "Tagged Image File Format", "1,4,8,24,32,48,96", "TIFF BPP", "--TIFF-BPP", &Settings::tiffBpp,
     tiffFlags},
    {"wbmp", FIF_WBMP, "Wireless Bitmap", "1", "WBMP BPP", "--WBMP-BPP", &Settings::wbmpBpp},
    {"webp", FIF_WEBP, "Google WebP Image Format", "24,32", "WEBP BPP", "--WEBP-BPP", &Settings::webpBpp, webpFlags,
     &Settings::webpQuality},
    {"xpm", FIF_XPM, "X11 Pixmap Format", "24", "XPM BPP", "--XPM-BPP", &Settings::xpmBpp},
};

/// The row of an output key; nothing for a key outside the table.
constexpr const OutputFormatRow* findOutputFormatRow(std::string_view key)
{
    for (const OutputFormatRow& row : kOutputFormatRows)
        if (row.key == key)
            return &row;
    return nullptr;
}

/// For tables built at compile time: a key outside the table does not compile.
/// (No pointer test here: the undefined-behaviour sanitizer's null checks are
/// not constant expressions.)
consteval const OutputFormatRow& outputFormatRow(std::string_view key)
{
    for (const OutputFormatRow& row : kOutputFormatRows)
        if (row.key == key)
            return row;
    throw "not an output format key";
}

}  // namespace quill
