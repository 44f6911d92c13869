// Converting one input file into one output file, and the worker that walks
// the input list.
#pragma once

#include "app/job.h"
#include "engine/formats.h"
#include "engine/progress.h"
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
};

/// Converts the job's current input file; true when the output was written.
bool convertOneFile(ConversionContext& context);

/// Converts every queued file in order until the list ends or the running flag
/// is cleared; the converted count lands in the progress record.
void runConversionWorker(ConversionContext& context);

}  // namespace quill
