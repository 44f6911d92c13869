// Turning settings and a front end's request into a run that can start: the
// input and output are resolved, the output format's facts looked up, every
// setting checked in a fixed order, and a text watermark's font loaded. The
// first failed check is returned as a value; each front end words it its own
// way (an "Error: " line, a warning box).
#pragma once

#include "app/job.h"
#include "engine/formats.h"
#include "engine/run/queue.h"
#include "engine/steps/watermark_font.h"
#include "settings/settings.h"

#include <cstdint>
#include <optional>
#include <string>

namespace quill {

/// The checks, in the order a run makes them. A run from an input path (a
/// picture, a list file or a folder) makes those marked "path"; a run over a
/// queue listed beforehand those marked "queue": its settings come from
/// controls that keep the rest in range.
enum class RunCheck {
    EmptyInputList,         // queue
    InvalidInputFile,       // path
    InvalidInputFolder,     // path
    EmptyOutputFolder,      // queue
    InvalidOutputFolder,    // both; argument: the folder
    InvalidConversionType,  // path
    InvalidDepth,           // path; argument: the output key
    InvalidQuality,         // path; argument: the output key
    InvalidWidth,           // both
    InvalidHeight,          // both
    InvalidBrightness,      // path
    InvalidContrast,        // path
    InvalidGamma,           // path
    InvalidWatermarkFont,   // both; argument: the font name
    EmptyWatermarkImage,    // queue
    InvalidWatermarkImage,  // both; argument: the image path
};

struct CheckFailure {
    RunCheck check;
    std::string argument;  // the folder, key, font or image the check is about
};

/// What a prepared run holds besides the settings.
struct PreparedRun {
    std::string inputPath;        // a path run: the input file or list file
    std::string inputFolder;      // a path run: the input folder, ends with "/"
    std::string outputFolder;     // absolute, ends with "/"
    std::string inputFormat;      // "raw"
    std::string outputExtension;  // "tiff"
    int32_t formatIdentifier = 0;
    int32_t targetDepth = 0;  // 0: decided per file
    bool automaticDepth = false;
    int32_t saveFlags = 0;
    int jobs = 0;                       // files in flight; 0 until the queue is known
    std::optional<WatermarkFont> font;  // a text watermark's font
};

struct Preparation {
    std::optional<PreparedRun> run;       // set when every check passed
    std::optional<CheckFailure> failure;  // else the first failed check
    PreparedRun resolved;                 // what the checks resolved until they ended
};

/// The front end's request: the job's output folder and output extension,
/// and either `queue` (a list made beforehand; outputs need a folder of their
/// own) or, without one, the job's input path (outputs beside the input when
/// the job names no folder; the queue follows the checks). A text
/// watermark's font needs a QGuiApplication, which the front end creates.
Preparation prepareRun(const Settings& settings, const ConversionJob& job, const FormatTables& formats,
                       const Queue* queue = nullptr);

/// The engine's side of a run's output for `run.outputExtension`: the format
/// identifier, target depth and save flags the settings give it.
void prepareOutputFields(const Settings& settings, const FormatTables& formats, PreparedRun& run);

/// Copies the output side of a prepared run into the job: folder, extension,
/// format identifier, depth and save flags.
void takeOutputFields(ConversionJob& job, const PreparedRun& run);

/// Files in flight for a queue: the `Worker Threads` setting, or automatic.
int jobCountFor(const Settings& settings, const Queue& queue);

}  // namespace quill
