// The command-line batch: checks the input, output and settings, queues the
// input through the input list, runs the conversion worker and reports totals.
#pragma once

namespace quill {

struct ConversionJob;
struct FormatTables;
struct InputList;
struct LanguageTable;
struct Settings;

/// The records a command-line run works on; the caller owns them.
struct CommandLineRecords {
    Settings& settings;
    ConversionJob& job;
    FormatTables& formats;
    InputList& inputs;
    LanguageTable& language;
};

/// Process exit codes of a command-line run.
enum ExitCode : int {
    kExitSuccess = 0,     // usage, version, or every queued file converted
    kExitError = 1,       // an "Error: " line was printed, or the run could not start
    kExitIncomplete = 2,  // fewer files converted than queued, or none queued
};

/// Runs the batch the parsed job describes, printing its lines to the
/// console; `quiet` leaves out the status lines but never an error.
int runBatch(CommandLineRecords& records, bool quiet);

}  // namespace quill
