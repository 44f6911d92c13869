// The TIFF writer. The layout follows FreeImage's own TIFF writer tag for tag
// (photometric, sample format, the CMYK and LogLuv choices, which compression
// each flag gives at each depth), so every encoder option keeps its meaning;
// what differs is what FreeImage cannot do: a predictor for Deflate, strips
// of many rows instead of one (Deflate starts afresh in every strip), the
// profile, and the metadata written in the same pass.
#include "engine/io/tiff_writer.h"

#include "engine/bitmap.h"
#include "engine/io/tiff_file.h"

#include <tiffio.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <unistd.h>

namespace quill {
namespace {

constexpr uint64_t kStripBytes = 64 * 1024;

// How the samples of a bitmap are laid out in the file.
struct Layout {
    uint16_t samplesPerPixel = 1;
    uint16_t bitsPerSample = 8;
    uint16_t photometric = PHOTOMETRIC_MINISBLACK;
    uint16_t sampleFormat = SAMPLEFORMAT_UINT;
    bool transparentPalette = false;  // 8-bit index plus alpha from the transparency table
    bool swapRedBlue = false;         // FreeImage keeps 24 and 32-bit pixels as BGR(A)
    bool logLuv = false;
    bool extraAlpha = false;
    bool cmyk = false;
};

uint16_t photometricOf(FIBITMAP* image)
{
    switch (FreeImage_GetColorType(image)) {
    case FIC_MINISWHITE: return PHOTOMETRIC_MINISWHITE;
    case FIC_PALETTE: return PHOTOMETRIC_PALETTE;
    case FIC_RGB:
    case FIC_RGBALPHA:
    case FIC_CMYK: return PHOTOMETRIC_RGB;
    default: return PHOTOMETRIC_MINISBLACK;
    }
}

Layout layoutOf(FIBITMAP* image, int32_t flags)
{
    Layout layout;
    const FREE_IMAGE_TYPE type = FreeImage_GetImageType(image);
    const unsigned bpp = FreeImage_GetBPP(image);
    const bool cmykAsked = (flags & TIFF_CMYK) == TIFF_CMYK;
    switch (type) {
    case FIT_BITMAP:
        layout.samplesPerPixel = bpp == 24 ? 3 : bpp == 32 ? 4 : 1;
        layout.bitsPerSample = uint16_t(bpp / layout.samplesPerPixel);
        layout.photometric = photometricOf(image);
        layout.swapRedBlue = bpp == 24 || bpp == 32;
        if (bpp == 8 && FreeImage_IsTransparent(image)) {
            layout.samplesPerPixel = 2;
            layout.transparentPalette = true;
        } else if (bpp == 32 && cmykAsked) {
            // FreeImage's separation: the four bytes as they are, named C, M, Y, K.
            layout.photometric = PHOTOMETRIC_SEPARATED;
            layout.cmyk = true;
            layout.swapRedBlue = false;
        } else if (bpp == 32 && layout.photometric == PHOTOMETRIC_RGB) {
            layout.extraAlpha = true;
        }
        break;
    case FIT_RGB16: layout = {3, 16, PHOTOMETRIC_RGB}; break;
    case FIT_RGBA16:
        layout = {4, 16, PHOTOMETRIC_RGB};
        layout.cmyk = cmykAsked;
        layout.extraAlpha = !cmykAsked;
        if (cmykAsked)
            layout.photometric = PHOTOMETRIC_SEPARATED;
        break;
    case FIT_RGBF:
        layout = {3, 32, PHOTOMETRIC_RGB, SAMPLEFORMAT_IEEEFP};
        if ((flags & TIFF_LOGLUV) == TIFF_LOGLUV) {
            layout.photometric = PHOTOMETRIC_LOGLUV;
            layout.logLuv = true;
        }
        break;
    case FIT_RGBAF:
        layout = {4, 32, PHOTOMETRIC_RGB, SAMPLEFORMAT_IEEEFP};
        layout.extraAlpha = true;
        break;
    default:
        layout = {1, uint16_t(bpp), PHOTOMETRIC_MINISBLACK};
        layout.sampleFormat = type == FIT_INT16 || type == FIT_INT32    ? SAMPLEFORMAT_INT
                              : type == FIT_COMPLEX                     ? SAMPLEFORMAT_COMPLEXIEEEFP
                              : type == FIT_FLOAT || type == FIT_DOUBLE ? SAMPLEFORMAT_IEEEFP
                                                                        : SAMPLEFORMAT_UINT;
        break;
    }
    return layout;
}

// The compression each flag gives, in the order FreeImage tests them.
uint16_t compressionFor(int32_t flags, const Layout& layout)
{
    const unsigned bitsPerPixel = unsigned(layout.bitsPerSample) * layout.samplesPerPixel;
    auto has = [flags](int32_t flag) {
        return (flags & flag) == flag;
    };
    if (layout.logLuv)
        return COMPRESSION_SGILOG;
    if (has(TIFF_PACKBITS))
        return COMPRESSION_PACKBITS;
    if (has(TIFF_DEFLATE))
        return COMPRESSION_DEFLATE;
    if (has(TIFF_ADOBE_DEFLATE))
        return COMPRESSION_ADOBE_DEFLATE;
    if (has(TIFF_NONE))
        return COMPRESSION_NONE;
    if (bitsPerPixel == 1 && has(TIFF_CCITTFAX3))
        return COMPRESSION_CCITTFAX3;
    if (bitsPerPixel == 1 && has(TIFF_CCITTFAX4))
        return COMPRESSION_CCITTFAX4;
    if (has(TIFF_LZW))
        return COMPRESSION_LZW;
    if (has(TIFF_JPEG))
        return (bitsPerPixel == 8 && layout.photometric != PHOTOMETRIC_PALETTE) || bitsPerPixel == 24 ? COMPRESSION_JPEG
                                                                                                      : COMPRESSION_LZW;
    return bitsPerPixel == 1 ? COMPRESSION_CCITTFAX4 : COMPRESSION_LZW;  // FreeImage's default
}

// Horizontal differencing for 8 and 16-bit samples of continuous tone, the
// floating-point predictor for float RGB(A); palettes and bilevel data gain
// nothing from either.
uint16_t predictorFor(uint16_t compression, const Layout& layout)
{
    if (compression != COMPRESSION_LZW && compression != COMPRESSION_DEFLATE &&
        compression != COMPRESSION_ADOBE_DEFLATE)
        return 0;
    if ((layout.bitsPerSample == 8 || layout.bitsPerSample == 16) && layout.photometric != PHOTOMETRIC_PALETTE)
        return PREDICTOR_HORIZONTAL;
    if (layout.photometric == PHOTOMETRIC_RGB && layout.sampleFormat == SAMPLEFORMAT_IEEEFP &&
        layout.bitsPerSample == 32)
        return PREDICTOR_FLOATINGPOINT;
    return PREDICTOR_NONE;
}

void setPalette(TIFF* tiff, FIBITMAP* image)
{
    const unsigned colours = FreeImage_GetColorsUsed(image);
    const RGBQUAD* palette = FreeImage_GetPalette(image);
    std::vector<uint16_t> map(size_t(colours) * 3);
    for (unsigned i = 0; i < colours; ++i) {
        map[i] = uint16_t(palette[i].rgbRed * 65535u / 255u);
        map[colours + i] = uint16_t(palette[i].rgbGreen * 65535u / 255u);
        map[2 * colours + i] = uint16_t(palette[i].rgbBlue * 65535u / 255u);
    }
    TIFFSetField(tiff, TIFFTAG_COLORMAP, map.data(), map.data() + colours, map.data() + 2 * colours);
}

// LogLuv takes CIE XYZ; FreeImage converts with the CCIR 709 matrix of libtiff's codec.
void toXyz(const float* rgb, float* xyz, unsigned width)
{
    for (unsigned x = 0; x < width; ++x, rgb += 3, xyz += 3) {
        const float r = rgb[0], g = rgb[1], b = rgb[2];
        xyz[0] = float(0.497 * r + 0.339 * g + 0.164 * b);
        xyz[1] = float(0.256 * r + 0.678 * g + 0.066 * b);
        xyz[2] = float(0.023 * r + 0.113 * g + 0.864 * b);
    }
}

// One row of the file, top to bottom, from FreeImage's bottom-up scan lines.
void copyRow(FIBITMAP* image, const Layout& layout, uint32_t row, uint8_t* out, size_t rowBytes)
{
    const unsigned width = FreeImage_GetWidth(image);
    const BYTE* in = FreeImage_GetScanLine(image, int(FreeImage_GetHeight(image) - 1 - row));
    if (layout.transparentPalette) {
        const BYTE* alpha = FreeImage_GetTransparencyTable(image);
        const unsigned entries = FreeImage_GetTransparencyCount(image);
        for (unsigned x = 0; x < width; ++x) {
            out[2 * x] = in[x];
            out[2 * x + 1] = in[x] < entries ? alpha[in[x]] : 255;
        }
        return;
    }
    if (layout.logLuv) {
        toXyz(reinterpret_cast<const float*>(in), reinterpret_cast<float*>(out), width);
        return;
    }
    std::memcpy(out, in, rowBytes);
    if (layout.swapRedBlue)
        for (size_t at = 0; at + 2 < rowBytes; at += layout.samplesPerPixel)
            std::swap(out[at], out[at + 2]);
}

// The profile for the photometric written: grey for grey samples, RGB for RGB
// and palette colours; none for the naive CMYK and for LogLuv's XYZ.
std::vector<uint8_t> profileFor(const Layout& layout, const TiffContents& contents)
{
    switch (layout.photometric) {
    case PHOTOMETRIC_MINISBLACK:
    case PHOTOMETRIC_MINISWHITE: return iccProfileFor(contents.encoding, true, contents.embeddedProfile);
    case PHOTOMETRIC_RGB:
    case PHOTOMETRIC_PALETTE: return iccProfileFor(contents.encoding, false, contents.embeddedProfile);
    default: return {};
    }
}

bool writeAt(int fd, const std::vector<uint8_t>& bytes, off_t at)
{
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t written = ::pwrite(fd, bytes.data() + done, bytes.size() - done, at + off_t(done));
        if (written <= 0)
            return false;
        done += size_t(written);
    }
    return true;
}

bool writePixels(TIFF* tiff, FIBITMAP* image, const Layout& layout, uint32_t rowsPerStrip, std::string& error)
{
    const uint32_t height = FreeImage_GetHeight(image);
    const auto rowBytes = size_t(TIFFScanlineSize64(tiff));
    std::vector<uint8_t> strip(rowBytes * rowsPerStrip);
    for (uint32_t first = 0, index = 0; first < height; first += rowsPerStrip, ++index) {
        const uint32_t rows = std::min(rowsPerStrip, height - first);
        for (uint32_t row = 0; row < rows; ++row)
            copyRow(image, layout, first + row, strip.data() + size_t(row) * rowBytes, rowBytes);
        if (TIFFWriteEncodedStrip(tiff, index, strip.data(), tmsize_t(rowBytes * rows)) < 0) {
            error = "cannot write the pixels";
            return false;
        }
    }
    return true;
}

}  // namespace

uint32_t rowsPerStripFor(uint64_t rowBytes, uint32_t height)
{
    const uint64_t rows = rowBytes == 0 ? height : (kStripBytes + rowBytes - 1) / rowBytes;
    return uint32_t(std::clamp<uint64_t>(rows, 1, std::max<uint32_t>(height, 1)));
}

bool writeTiff(UniqueFd descriptor, FIBITMAP* image, int32_t saveFlags, const TiffContents& contents,
               std::string& error)
{
    if (!image || FreeImage_GetWidth(image) == 0 || FreeImage_GetHeight(image) == 0 || !FreeImage_HasPixels(image)) {
        error = "no image to write";
        return false;
    }
    // 16-bit 5-6-5 pixels have no TIFF form; they are written as the 24-bit RGB they show.
    Bitmap widened;
    if (FreeImage_GetImageType(image) == FIT_BITMAP && FreeImage_GetBPP(image) == 16) {
        widened.reset(FreeImage_ConvertTo24Bits(image));
        if (!widened) {
            descriptor.reset();  // before errno is set, which a close could change
            errno = ENOMEM;
            error = "cannot widen 16-bit pixels";
            return false;
        }
        image = widened.get();
    }
    TiffFile tiff(TIFFFdOpen(descriptor.get(), "output.tif", "w"));
    if (!tiff) {
        error = "cannot start the TIFF";
        return false;
    }
    descriptor.release();  // closed with the TIFF
    const Layout layout = layoutOf(image, saveFlags);
    const uint32_t width = FreeImage_GetWidth(image), height = FreeImage_GetHeight(image);
    TIFF* out = tiff.get();
    TIFFSetField(out, TIFFTAG_SUBFILETYPE, uint32_t(0));
    TIFFSetField(out, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(out, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(out, TIFFTAG_SAMPLESPERPIXEL, layout.samplesPerPixel);
    TIFFSetField(out, TIFFTAG_BITSPERSAMPLE, layout.bitsPerSample);
    TIFFSetField(out, TIFFTAG_SAMPLEFORMAT, layout.sampleFormat);
    TIFFSetField(out, TIFFTAG_PHOTOMETRIC, layout.photometric);
    TIFFSetField(out, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(out, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);  // the pixels are upright
    TIFFSetField(out, TIFFTAG_FILLORDER, FILLORDER_MSB2LSB);
    if (layout.cmyk) {
        TIFFSetField(out, TIFFTAG_INKSET, INKSET_CMYK);
        TIFFSetField(out, TIFFTAG_NUMBEROFINKS, 4);
    }
    if (layout.extraAlpha) {
        const uint16_t extra[1] = {EXTRASAMPLE_UNASSALPHA};
        TIFFSetField(out, TIFFTAG_EXTRASAMPLES, 1, extra);
    }
    if (layout.logLuv)
        TIFFSetField(out, TIFFTAG_SGILOGDATAFMT, SGILOGDATAFMT_FLOAT);
    if (layout.photometric == PHOTOMETRIC_PALETTE)
        setPalette(out, image);
    const uint16_t compression = compressionFor(saveFlags, layout);
    TIFFSetField(out, TIFFTAG_COMPRESSION, compression);
    if (const uint16_t predictor = predictorFor(compression, layout))
        TIFFSetField(out, TIFFTAG_PREDICTOR, predictor);
    // Level 3: on differenced camera data it loses under 3 % of the size of
    // level 6 (a linear decode gains) and takes far less time than FreeImage's
    // Deflate without the predictor did.
    if (compression == COMPRESSION_DEFLATE || compression == COMPRESSION_ADOBE_DEFLATE)
        TIFFSetField(out, TIFFTAG_ZIPQUALITY, 3);

    uint32_t rowsPerStrip = rowsPerStripFor(uint64_t(TIFFScanlineSize64(out)), height);
    if (compression == COMPRESSION_CCITTFAX3 || compression == COMPRESSION_CCITTFAX4) {
        rowsPerStrip = height;  // one strip, as fax readers expect
        if (compression == COMPRESSION_CCITTFAX3) {
            TIFFSetField(out, TIFFTAG_GROUP3OPTIONS, uint32_t(GROUP3OPT_2DENCODING | GROUP3OPT_FILLBITS));
            TIFFSetField(out, TIFFTAG_FILLORDER, FILLORDER_LSB2MSB);
        }
    } else if (compression == COMPRESSION_JPEG) {
        rowsPerStrip = (rowsPerStrip + 7) / 8 * 8;  // whole 8-row blocks in every strip
    }
    TIFFSetField(out, TIFFTAG_ROWSPERSTRIP, rowsPerStrip);

    // Resolution: the source's own when known, else the bitmap's to the nearest dot per inch.
    Resolution resolution = contents.resolution;
    if (resolution.dotsPerInchX <= 0 || resolution.dotsPerInchY <= 0) {
        resolution.dotsPerInchX = double(unsigned(0.5 + 0.0254 * FreeImage_GetDotsPerMeterX(image)));
        resolution.dotsPerInchY = double(unsigned(0.5 + 0.0254 * FreeImage_GetDotsPerMeterY(image)));
    }
    TIFFSetField(out, TIFFTAG_RESOLUTIONUNIT, int(RESUNIT_INCH));
    TIFFSetField(out, TIFFTAG_XRESOLUTION, resolution.dotsPerInchX);
    TIFFSetField(out, TIFFTAG_YRESOLUTION, resolution.dotsPerInchY);

    const std::vector<uint8_t> profile = profileFor(layout, contents);
    if (!profile.empty())
        TIFFSetField(out, TIFFTAG_ICCPROFILE, uint32_t(profile.size()), profile.data());

    // The EXIF and GPS directories go right after the 8-byte header, ahead of
    // the pixels: libtiff appends every strip and the first directory at the
    // end of the file.
    if (contents.metadata) {
        const uint16_t colourSpace = layout.cmyk || layout.logLuv ? 0xFFFF : exifColourSpaceFor(contents.encoding);
        MetadataDirectories directories =
            layOutMetadataDirectories(*contents.metadata, colourSpace, 8, TIFFIsBigEndian(out) != 0);
        if (!directories.bytes.empty() && !writeAt(TIFFFileno(out), directories.bytes, 8)) {
            error = "cannot write the metadata";
            return false;
        }
        setTiffMetadata(out, *contents.metadata, resolution, directories);
    }

    if (!writePixels(out, image, layout, rowsPerStrip, error))
        return false;
    if (!TIFFWriteDirectory(out)) {
        error = "cannot write the image directory";
        return false;
    }
    return true;
}

}  // namespace quill
