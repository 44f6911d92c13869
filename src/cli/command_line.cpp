#include "cli/command_line.h"

#include "app/job.h"
#include "app/version.h"
#include "cli/console.h"
#include "cli/option_values.h"
#include "cli/options.h"
#include "cli/thumbnail.h"
#include "cli/usage.h"
#include "settings/vocabularies.h"
#include "engine/batch/job_count.h"
#include "engine/formats.h"
#include "engine/run/output_name.h"
#include "inputs/input_list.h"
#include "settings/settings.h"
#include "settings/defaults.h"
#include "settings/setting_codes.h"
#include "text/language.h"

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <iterator>
#include <thread>

namespace quill {

namespace {

/// The path options -i, -o and -c: the short form takes the next argument,
/// the long form the text after "=". False when the value is missing.
bool takePathValue(const ArgumentList& arguments, size_t& index, const std::string& name, bool joinQuotes,
                   std::string& value)
{
    if (!name.starts_with("--"))
        ++index;
    std::string text = optionValue(arguments, index);
    if (text.empty() || text.starts_with('-'))
        return false;
    if (joinQuotes)
        text = joinQuotedValue(arguments, index, text);
    value = withoutSurroundingQuotes(text);
    return true;
}

void printLines(const std::vector<std::string>& lines)
{
    for (const std::string& line : lines)
        printLine(line);
}

// The engine holds any job count to its cap; a count typed above it is said.
void capJobCount(Settings& settings, std::vector<std::string>& warnings)
{
    const int32_t most = mostJobs(static_cast<int>(std::thread::hardware_concurrency()));
    if (settings.workerThreads <= most)
        return;
    warnings.push_back("--JOBS=" + std::to_string(settings.workerThreads) + " is more than " +
                       std::to_string(kMostJobsPerCore) + " per core; " + std::to_string(most) + " is used");
    settings.workerThreads = most;
}

// A random number is drawn anew by every run, so an output named with one is
// never found again: keeping or updating such outputs would only add copies.
void noteUnresumableTemplate(Settings& settings, std::vector<std::string>& warnings)
{
    if (is(settings.existingFiles, ExistingFiles::Replace) || !nameTemplateUsesRandomNumber(settings.filenameMask))
        return;
    warnings.push_back("--EXISTING-FILES=" + numberToKeyword(Vocabulary::ExistingFiles, settings.existingFiles) +
                       " cannot find outputs named with %rnd% again; existing files are replaced");
    settings.existingFiles = static_cast<uint8_t>(ExistingFiles::Replace);
}

// Arguments left unread are said, so a mistyped option name does not pass
// unnoticed; the run goes on without them.
void noteIgnoredArgument(const ArgumentList& arguments, size_t index, const std::string& name,
                         std::vector<std::string>& warnings)
{
    static const std::string firstOnly[] = {"-H", "-?", "--HELP", "-V", "--VERSION", "-U", "-T", "--THUMBNAIL"};
    const std::string argument = trimmedArgument(arguments, index);
    if (argument.empty())
        return;
    const bool onlyFirst = std::find(std::begin(firstOnly), std::end(firstOnly), name) != std::end(firstOnly);
    warnings.push_back(argument + (onlyFirst ? " is read only as the first argument" : " is not a known option") +
                       "; it is ignored");
}

// A script reads what was not taken as typed; -q silences it with the rest.
void printWarnings(const ParsedOptions& parsed)
{
    if (parsed.quiet)
        return;
    for (const std::string& warning : parsed.warnings)
        printLine("Warning: " + warning);
}

}  // namespace

ParsedOptions parseOptions(const ArgumentList& arguments, ConversionJob& job, Settings& settings)
{
    ParsedOptions parsed;
    for (size_t index = 0; index < arguments.size() && parsed.error.empty(); ++index) {
        std::string name = optionName(arguments, index);
        bool valueMissing = false;
        if (name == "-I" || name == "--INPUT") {
            // The flag stays set even when the value turns out to be missing.
            job.commandLineMode = 1;
            valueMissing = !takePathValue(arguments, index, name, true, job.inputPath);
        } else if (name == "-O" || name == "--OUTPUT") {
            valueMissing = !takePathValue(arguments, index, name, true, job.outputFolder);
        } else if (name == "-C" || name == "--CONVERSION") {
            valueMissing = !takePathValue(arguments, index, name, false, job.outputExtension);
        } else if (name == "-D" || name == "--DEBUG") {
            job.logMode = "DEBUG";
        } else if (name == "-Q" || name == "--QUIET") {
            parsed.quiet = true;
        } else if (name == "-P" || name == "--PAUSE") {
            parsed.pause = true;
        } else if (!applyCommandLineOption(arguments, index, settings, parsed.error, parsed.warnings)) {
            noteIgnoredArgument(arguments, index, name, parsed.warnings);
        }
        if (valueMissing)
            parsed.error = kMissingValueMessage;
    }
    capJobCount(settings, parsed.warnings);
    noteUnresumableTemplate(settings, parsed.warnings);
    return parsed;
}

std::vector<std::string> windowOpenPaths(const ArgumentList& arguments)
{
    std::vector<std::string> paths;
    for (size_t index = 0; index < arguments.size(); ++index) {
        const std::string& argument = arguments[index];
        if (argument.empty())
            continue;
        if (argument.starts_with('-')) {
            // The short path options take the next argument as their value.
            const std::string name = optionName(arguments, index);
            if (name == "-I" || name == "-O" || name == "-C")
                ++index;
            continue;
        }
        // The running window that receives them has a folder of its own.
        std::error_code error;
        const std::filesystem::path absolute = std::filesystem::absolute(argument, error);
        paths.push_back(error ? argument : absolute.lexically_normal().string());
    }
    return paths;
}

CommandLineResult enterCommandLine(const ArgumentList& arguments, CommandLineRecords& records)
{
    CommandLineResult result;
    if (arguments.empty()) {
        result.outcome = CommandLineOutcome::WindowMode;
        return result;
    }
    buildFormatTables(records.formats);
    resetConversionJob(records.job);
    records.inputs.clear();
    rebuildAcceptedExtensions(records.formats);
    applyDefaults(records.settings, true);
    buildLanguageTable(records.language);

    // Only the first argument can ask for these; later on they are ignored.
    std::string first = optionName(arguments, 0);
    if (first == "-U") {
        result.outcome = CommandLineOutcome::UninstallPage;
        return result;
    }
    if (first == "-T") {
        result.outcome = CommandLineOutcome::Screenshots;
        result.screenshotFolder = optionValue(arguments, 1);
        return result;
    }
    if (first == "--THUMBNAIL") {
        result.exitCode = runThumbnailMode(arguments);
        return result;
    }
    if (first == "-V" || first == "--VERSION") {
        setConsoleTitle(titleString());
        printLine(versionString());
        return result;
    }
    if (first == "-H" || first == "-?" || first == "--HELP") {
        setConsoleTitle(titleString());
        printLines(usageLines(executableName(), records.formats));
        return result;
    }

    ParsedOptions parsed = parseOptions(arguments, records.job, records.settings);
    if (!parsed.error.empty()) {
        setConsoleTitle(titleString());
        printWarnings(parsed);
        printLine("Error: " + parsed.error);
        if (parsed.pause)
            waitForKey();
        result.exitCode = kExitError;
        return result;
    }
    if (!records.job.commandLineMode) {
        // Window mode loads its configuration over everything parsed here.
        result.outcome = CommandLineOutcome::WindowMode;
        result.openPaths = windowOpenPaths(arguments);
        return result;
    }
    setConsoleTitle(titleString());
    if (!parsed.quiet)
        printLines(bannerLines());
    printWarnings(parsed);
    result.exitCode = runBatch(records, parsed.quiet);
    if (parsed.pause) {
        printLine("Press any key to exit.");
        waitForKey();
    }
    return result;
}

int runCommandLine(int argc, char** argv)
{
    // A reader that goes away (| head) must not kill a batch half-way through.
    std::signal(SIGPIPE, SIG_IGN);
    ArgumentList arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    Settings settings;
    ConversionJob job;
    FormatTables formats;
    InputList inputs;
    LanguageTable language;
    CommandLineRecords records{settings, job, formats, inputs, language};
    CommandLineResult result = enterCommandLine(arguments, records);
    return result.outcome == CommandLineOutcome::Finished ? result.exitCode : kExitSuccess;
}

}  // namespace quill
