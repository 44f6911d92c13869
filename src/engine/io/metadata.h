// What an output inherits from its source besides the pixels: the resolution,
// and the camera's EXIF, GPS, IPTC and XMP records. FreeImage 3.18 writes none
// of the EXIF into a TIFF, so the records are read from the source file with
// Exiv2 and appended to the written TIFF with libtiff, leaving its pixels where
// they are.
#pragma once

#include "platform/mapped_file.h"

#include <FreeImage.h>

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
    std::string iptc;               // IPTC-NAA record in a Photoshop resource block (8BIM 0x0404)
    std::string xmp;                // XMP packet
    double dotsPerInchX = 0.0;      // the source file's own resolution; 0 when it states none
    double dotsPerInchY = 0.0;
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

/// Adds the metadata to a TIFF written by FreeImage: descriptive tags in the
/// first directory, Orientation 1 (the pixels are upright), the resolution, an
/// EXIF and a GPS directory appended after the pixels, IPTC (as Photoshop's
/// resource block) and XMP.
[[nodiscard]] bool writeTiffMetadata(const std::string& tiffPath, const SourceMetadata& metadata,
                                     const Resolution& resolution, std::string& error);

}  // namespace quill
