// Command-line entry: decides the mode from the arguments, parses the options
// into the conversion job and the settings, and runs a batch, prints usage or
// version, or hands over to the window.
#pragma once

#include "cli/arguments.h"
#include "cli/batch.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quill {

enum class CommandLineOutcome {
    Finished,       // the run ended here; exitCode holds its result
    WindowMode,     // no input option: the window starts with its own settings
    UninstallPage,  // first argument "-U": the window front end shows the page
    Screenshots,    // first argument "-T": the window front end takes screenshots
};

struct CommandLineResult {
    CommandLineOutcome outcome = CommandLineOutcome::Finished;
    int exitCode = kExitSuccess;
    std::string screenshotFolder;        // Screenshots only: the second argument's value
    std::vector<std::string> openPaths;  // WindowMode only: files and folders to queue
};

/// What parsing the options produced besides the job and the settings.
struct ParsedOptions {
    std::string error;                  // empty when every option parsed
    std::vector<std::string> warnings;  // values read in part or capped, without "Warning: "
    bool quiet = false;
    bool pause = false;
};

/// Scans every argument in order: input, output, conversion, the three
/// switches, and the long options of the option table. Stops at the first
/// error. Unknown names and bare words are ignored, with a warning; a job
/// count above kMostJobsPerCore per core is lowered to that, with a warning.
ParsedOptions parseOptions(const ArgumentList& arguments, ConversionJob& job, Settings& settings);

/// The files and folders a start without an input option names, as a file
/// manager passes those it opens with the program: every argument that is no
/// option and no option's value, made absolute against the current folder.
/// No setting is taken from such a start.
std::vector<std::string> windowOpenPaths(const ArgumentList& arguments);

/// The command-line entry over records the caller owns. Resets the job, sets
/// the command-line defaults and builds the language table first.
CommandLineResult enterCommandLine(const ArgumentList& arguments, CommandLineRecords& records);

/// Process entry for the command line: returns the process exit code. Window
/// mode, the uninstall page and the screenshots belong to the window front
/// end; here they end silently with 0.
int runCommandLine(int argc, char** argv);

}  // namespace quill
