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
#include <functional>
#include <optional>
#include <string>
#include <utility>

namespace quill {

/// The checks, in the order a run makes them. The command line makes those
/// marked "cli", the window those marked "window".
enum class RunCheck {
    EmptyInputList,         // window
    InvalidInputFile,       // cli
    InvalidInputFolder,     // cli
    EmptyOutputFolder,      // window
    InvalidOutputFolder,    // both; argument: the folder
    InvalidConversionType,  // cli
    InvalidDepth,           // cli; argument: the output key
    InvalidQuality,         // cli; argument: the output key
    InvalidWidth,           // both
    InvalidHeight,          // both
    InvalidBrightness,      // cli
    InvalidContrast,        // cli
    InvalidGamma,           // cli
    InvalidWatermarkFont,   // both; argument: the font name
    EmptyWatermarkImage,    // window
    InvalidWatermarkImage,  // both; argument: the image path
};

struct CheckFailure {
    RunCheck check;
    std::string argument;  // the language text's "%s1%"
};

/// The language group and key of the window's warning text for a check.
std::pair<const char*, const char*> warningKey(RunCheck check);

enum class FrontEnd { CommandLine, Window };

/// What a prepared run holds besides the settings.
struct PreparedRun {
    std::string inputPath;        // command line: the input file or list file
    std::string inputFolder;      // command line: the input folder, ends with "/"
    std::string outputFolder;     // absolute, ends with "/"
    std::string inputFormat;      // "raw"
    std::string outputExtension;  // "tiff"
    int32_t formatIdentifier = 0;
    int32_t targetDepth = 0;      // 0: decided per file
    bool automaticDepth = false;
    int32_t saveFlags = 0;
    int jobs = 0;                 // files in flight; 0 until the queue is known
    std::optional<WatermarkFont> font;  // a text watermark's font
};

struct Preparation {
    std::optional<PreparedRun> run;      // set when every check passed
    std::optional<CheckFailure> failure; // else the first failed check
};

/// Places in the checks where the command line's debug listing prints the
/// settings the next check is about; `value` is the resolved text where the
/// line shows one (Output, Conversion).
enum class ListingPoint {
    Input, Output, Conversion, InputSettings, OutputSettings, Rotation, Width, Height, ResizeRest,
    Flips, Brightness, Contrast, Gamma, Invert, Greyscale, Threshold, Dither, Frame, Watermark, Naming,
};
using ListingHook = std::function<void(ListingPoint point, const std::string& value)>;

/// The front end's request: the job's input path (command line), output
/// folder and output extension; `queue` is the window's list (the command
/// line queues after the checks). A text watermark's font needs a
/// QGuiApplication, which the front end creates.
Preparation prepareRun(const Settings& settings, const ConversionJob& job, const FormatTables& formats,
                       FrontEnd frontEnd, const Queue* queue = nullptr, const ListingHook& listing = {});

/// Files in flight for a queue: the `Worker Threads` setting, or automatic.
int jobCountFor(const Settings& settings, const Queue& queue);

}  // namespace quill
