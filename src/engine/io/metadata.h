// What an output inherits from its source besides the pixels: the resolution,
// and the camera's EXIF, GPS, IPTC and XMP records. The records are read from
// the source file with Exiv2 and written by the TIFF writer in the same pass
// as the pixels.
#pragma once

#include "platform/mapped_file.h"

#include <FreeImage.h>
#include <tiffio.h>

#include <cstdint>
#include <string>
#include <vector>

namespace quill {

/// The source's resolution: dots per metre for FreeImage, and the dots per
/// inch written into the output (exact when the source stated them).
struct Resolution {
    int32_t dotsPerMetreX = 0;
    int32_t dotsPerMetreY = 0;
    double dotsPerInchX = 0.0;
    double dotsPerInchY = 0.0;
};

/// One tag as the source held it: TIFF field type, value count and the value
/// bytes in host byte order.
struct MetadataTag {
    uint16_t tag = 0;
    uint16_t type = 0;
    uint32_t count = 0;
    std::vector<uint8_t> value;
};

/// The descriptive records of a source, already stripped of everything that
/// describes the source's own layout (sizes, strips, tiles, sub-images,
/// thumbnails, sensor pattern, compression, maker-note internals).
struct SourceMetadata {
    std::vector<MetadataTag> main;  // first directory: Make, Model, DateTime, Artist, ...
    std::vector<MetadataTag> exif;  // exposure, aperture, ISO, lens, capture dates, ...
    std::vector<MetadataTag> gps;
    std::string iptc;           // IPTC-NAA record in a Photoshop resource block (8BIM 0x0404)
    std::string xmp;            // XMP packet
    double dotsPerInchX = 0.0;  // the source file's own resolution; 0 when it states none
    double dotsPerInchY = 0.0;
    bool declaresAdobeRgb = false;  // the camera rendered its preview in Adobe RGB
};

/// Routes every message of FreeImage, libtiff and Exiv2 away from the console
/// (FreeImage's through silenceFreeImage, so a sink routed there still works).
/// Safe to call any number of times from any thread.
void silenceImageLibraries();

/// The resolution of a freshly loaded image: its dots per metre, replaced per
/// axis by the EXIF XResolution/YResolution when the image carries them.
Resolution sourceResolution(FIBITMAP* image);

/// The resolution an output carries: the source file's own resolution tags;
/// else, for an ordinary image FreeImage read (a JPEG), the image's; else
/// 72 dpi. A camera file thus gets the same resolution in every load mode,
/// whatever its embedded preview says.
Resolution outputResolution(FIBITMAP* image, const SourceMetadata& metadata, bool ordinaryImage);

/// Reads the source file's EXIF, GPS, IPTC and XMP with Exiv2; tags FreeImage
/// decoded into `decoded` (the metadata holder) fill what the file lacks or
/// what Exiv2 cannot read. Never fails: an unreadable source gives less.
SourceMetadata readSourceMetadata(const MappedFile& source, FIBITMAP* decoded);

/// The same, opening the file at `sourcePath`.
SourceMetadata readSourceMetadata(const std::string& sourcePath, FIBITMAP* decoded);

/// The EXIF and GPS directories of an output, laid out to be written at
/// `offset` of a classic TIFF, and where each begins (0: not written).
struct MetadataDirectories {
    std::vector<uint8_t> bytes;
    uint32_t exifOffset = 0;
    uint32_t gpsOffset = 0;
};

/// Lays out the EXIF directory (with the tags the standard requires and the
/// output's `colourSpace`) and the GPS directory, each value with its exact
/// type and bytes: libtiff would pass every rational through a float and
/// write 1/1600 s as 2153076/3444921677.
MetadataDirectories layOutMetadataDirectories(const SourceMetadata& metadata, uint16_t colourSpace, uint32_t offset,
                                              bool bigEndian);

/// Sets the descriptive tags on the directory libtiff is about to write: the
/// texts, the resolution, the pointers to the laid-out directories, IPTC (as
/// Photoshop's resource block) and XMP.
void setTiffMetadata(TIFF* tiff, const SourceMetadata& metadata, const Resolution& resolution,
                     const MetadataDirectories& directories);

}  // namespace quill
