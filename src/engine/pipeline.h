// Converting one input file: render, which needs no output path, and the
// name the output gets; the batch writes it to a temporary file beside the
// output and renames it in queue order.
#pragma once

#include "app/job.h"
#include "engine/formats.h"
#include "engine/io/save.h"
#include "engine/steps/watermark_font.h"
#include "platform/mapped_file.h"
#include "settings/settings.h"

#include <string>

namespace quill {

/// Loads the job's input file and applies every enabled step up to the depth
/// conversion and the metadata and resolution restore. Updates the job's
/// source depth, target depth (when automatic), final size and frame number.
/// The image is empty (and `error` says why) when the file cannot be rendered.
/// A text watermark needs the run's `watermarkFont`; without one it is left out.
RenderedImage renderImage(ConversionJob& job, const Settings& settings, const FormatTables& formats,
                          const WatermarkFont* watermarkFont = nullptr);

/// The same steps for an image the caller decoded from `input` (the file of
/// the job's input path), as loadInput gives it.
RenderedImage renderLoadedImage(Bitmap image, const MappedFile& input, ConversionJob& job, const Settings& settings,
                                const FormatTables& formats, const WatermarkFont* watermarkFont = nullptr);

/// Output folder, the relative subfolder when subfolders are kept, and the
/// name made from the template for the job's current file.
std::string outputPathFor(const ConversionJob& job, const Settings& settings);

}  // namespace quill
