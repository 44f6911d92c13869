// One file drawn as the current settings will convert it, fitted to a box on
// screen. A full decode of a big camera file takes seconds; when the settings
// let a smaller decode show the same picture at the box's size (the camera's
// embedded preview, or a half-size decode of the same development), the
// preview takes it, scales every pixel-sized setting to match, and says it is
// approximate.
#pragma once

#include "app/job.h"
#include "engine/bitmap.h"
#include "engine/formats.h"
#include "engine/steps/watermark_font.h"
#include "settings/settings.h"

#include <cstdint>
#include <string>

namespace quill {

struct PreviewOptions {
    int boxWidth = 640;  // the picture is fitted into this many pixels
    int boxHeight = 480;
    bool fullQuality = false;   // always the decode the conversion makes
    bool asLoaded = false;      // the decoded file with no step applied
    bool actualPixels = false;  // the centre of the output at 100 %, box-sized, from the full decode
};

struct PreviewImage {
    Bitmap display;            // 32 bits, fitted to the box; empty when it failed
    bool approximate = false;  // drawn from a smaller decode than the conversion makes
    int32_t outputWidth = 0;   // what the conversion will write
    int32_t outputHeight = 0;
    int32_t targetDepth = 0;
    std::string outputName;  // the file name the template gives
    std::string error;       // why there is no picture, in plain words
};

/// The decode a preview can stand on: the full one's scale of it (1 when the
/// conversion's own decode is needed) and the RAW loader flags for it.
struct PreviewDecode {
    double scale = 1.0;
    int rawFlags = -1;  // -1: the conversion's own load
};
PreviewDecode previewDecodeFor(const Settings& settings, const PreviewOptions& options);

/// The settings with every length in pixels (resize to a pixel size, frame
/// widths, watermark padding and offsets) multiplied by `scale`.
Settings scaledPixelSettings(const Settings& settings, double scale);

/// Renders the job's input file for the screen; the job's per-file fields
/// (counter, random number, relative subfolder) name the output.
PreviewImage renderPreview(ConversionJob job, const Settings& settings, const FormatTables& formats,
                           const WatermarkFont* font, const PreviewOptions& options);

/// Fits a rendered image of any depth into the box as 32-bit pixels.
Bitmap displayCopy(FIBITMAP* image, int boxWidth, int boxHeight);

}  // namespace quill
