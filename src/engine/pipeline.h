// Converting one input file into one output file, and the worker that walks
// the input list. A conversion runs in two phases that can be called apart
// (for instance by a parallel batch): render, which needs no output path, and
// write, which saves to a temporary file beside the output and renames it.
#pragma once

#include "app/job.h"
#include "engine/formats.h"
#include "engine/progress.h"
#include "engine/save.h"
#include "engine/watermark_font.h"
#include "inputs/input_list.h"
#include "settings/settings.h"

#include <functional>
#include <string>

namespace quill {

/// Receives one debug log line (without line end).
using LogSink = std::function<void(const std::string& line)>;

/// Everything a conversion run reads; the front end owns each record.
struct ConversionContext {
    ConversionJob& job;
    const Settings& settings;
    const FormatTables& formats;
    const InputList& inputs;
    ProgressRecord& progress;
    LogSink log;  // empty: no debug log
    const WatermarkFont* watermarkFont = nullptr;  // loaded by the front end before the run
};

/// Loads the job's input file and applies every enabled step up to the depth
/// conversion and the metadata and resolution restore. Updates the job's
/// source depth, target depth (when automatic), final size and frame number.
/// The image is empty (and `error` says why) when the file cannot be rendered.
/// A text watermark needs the run's `watermarkFont`; without one it is left out.
RenderedImage renderImage(ConversionJob& job, const Settings& settings, const FormatTables& formats,
                          const WatermarkFont* watermarkFont = nullptr);

/// Output folder, the relative subfolder when subfolders are kept, and the
/// name made from the template for the job's current file.
std::string outputPathFor(const ConversionJob& job, const Settings& settings);

/// Converts the job's current input file; true when the output was written.
/// Stores the output path in the job.
bool convertOneFile(ConversionContext& context);

/// Converts every queued file in order until the list ends or the running flag
/// is cleared; the converted count lands in the progress record.
void runConversionWorker(ConversionContext& context);

}  // namespace quill
