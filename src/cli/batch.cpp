#include "cli/batch.h"

#include "app/job.h"
#include "cli/batch_checks.h"
#include "cli/console.h"
#include "cli/interrupt.h"
#include "cli/terminal_progress.h"
#include "engine/watermark_font.h"
#include "engine/depth.h"
#include "engine/formats.h"
#include "engine/parallel_batch.h"
#include "engine/pipeline.h"
#include "engine/progress.h"
#include "inputs/folder_import.h"
#include "inputs/input_list.h"
#include "inputs/list_file.h"
#include "platform/paths.h"
#include "settings/settings.h"
#include "text/language.h"

#include <algorithm>
#include <chrono>
#include <atomic>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <system_error>
#include <thread>

namespace quill {

namespace {

std::string fileNamePart(const std::string& path)
{
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string folderPart(const std::string& path)
{
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

/// The text after the last "." of the file-name part; empty when there is none.
std::string extensionOf(const std::string& path)
{
    std::string name = fileNamePart(path);
    size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}

std::string lowerCase(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

/// Relative paths, a leading ".." included, are taken from the working folder:
/// that is where the user stands, while the program's folder is a system folder.
std::string fromWorkingFolder(std::string path)
{
    if (path.starts_with('/'))
        return path;
    while (path.starts_with("./"))
        path.erase(0, 2);
    if (path == ".")
        path.clear();
    std::error_code error;
    std::string workingFolder = std::filesystem::current_path(error).string();
    if (error)
        return path;
    return withTrailingSlash(workingFolder) + path;
}

/// A folder as the run uses it: absolute, ending with "/", and existing.
std::optional<std::string> existingFolder(const std::string& folder)
{
    std::string resolved = withTrailingSlash(fromWorkingFolder(folder));
    if (resolved.empty() || !isDirectory(resolved))
        return std::nullopt;
    return resolved;
}

bool isNonEmptyFile(const std::string& path)
{
    std::error_code error;
    return isRegularFile(path) && std::filesystem::file_size(path, error) > 0 && !error;
}

bool isListFile(const std::string& path)
{
    std::string extension = lowerCase(extensionOf(path));
    return extension == "txt" || extension == "lst";
}

/// Runs a worker on a thread of its own and waits for it; false when no
/// thread could be started.
bool runOnWorkerThread(const std::function<void()>& work)
{
    try {
        std::thread worker(work);
        worker.join();
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

struct Run {
    CommandLineRecords& records;
    bool quiet;
    bool debug;
    std::optional<WatermarkFont> watermarkFont;  // released when the run ends

    void status(std::string_view group, std::string_view key, std::string_view s1 = {},
                std::string_view s2 = {})
    {
        if (!quiet)
            printLine(message(group, key, s1, s2));
    }
    std::string message(std::string_view group, std::string_view key, std::string_view s1 = {},
                        std::string_view s2 = {})
    {
        return formatText(lookupText(records.language, group, key), s1, s2);
    }
    void debugLine(const std::string& line)
    {
        if (debug)
            printLine(line);
    }
};

/// Classifies the input by its extension: a file (picture or list) must have
/// content; anything else is a folder, which must exist.
std::optional<std::string> resolveInput(ConversionJob& job)
{
    if (!extensionOf(job.inputPath).empty()) {
        job.inputPath = fromWorkingFolder(job.inputPath);
        job.inputFolder.clear();
        if (!isNonEmptyFile(job.inputPath))
            return "Error: Invalid input file";
        return std::nullopt;
    }
    std::optional<std::string> folder = existingFolder(job.inputPath);
    if (!folder)
        return "Error: Invalid input folder";
    job.inputFolder = *folder;
    return std::nullopt;
}

/// Without an output folder the outputs go beside the input. The folder is
/// never created: a missing one is the user's mistake, not ours to guess at.
std::optional<std::string> resolveOutput(Run& run)
{
    ConversionJob& job = run.records.job;
    if (job.outputFolder.empty())
        job.outputFolder = job.inputFolder.empty() ? folderPart(job.inputPath) : job.inputFolder;
    run.debugLine("Output: " + job.outputFolder);
    std::optional<std::string> folder = existingFolder(job.outputFolder);
    if (!folder)
        return "Error: Invalid output folder";
    job.outputFolder = *folder;
    return std::nullopt;
}

std::optional<std::string> resolveFormats(Run& run)
{
    ConversionJob& job = run.records.job;
    const FormatTables& formats = run.records.formats;
    if (job.inputFormat.empty() && !formats.inputFormatList.empty())
        job.inputFormat = formats.inputFormatList.front();
    if (job.outputExtension.empty() && !formats.outputFormatList.empty())
        job.outputExtension = formats.outputFormatList.front();
    run.debugLine("Conversion: " + job.outputExtension);
    // Exact and case-sensitive: the key is also the written extension.
    const auto& offered = formats.outputFormatList;
    if (std::find(offered.begin(), offered.end(), job.outputExtension) == offered.end())
        return "Error: Invalid conversion type";
    return std::nullopt;
}

void prepareEngineFields(CommandLineRecords& records)
{
    ConversionJob& job = records.job;
    const OutputFormat* format = findOutputFormat(records.formats, job.outputExtension);
    job.formatIdentifier = format ? format->formatIdentifier : 0;
    job.targetDepth = outputDepthSetting(job.outputExtension, records.settings);
    job.automaticDepth = job.targetDepth == 0 ? 1 : 0;
    job.saveFlags = saveFlagsFor(job.outputExtension, records.settings);
}

/// Queues the input; the number of files added, or nothing when no worker
/// thread could be started.
std::optional<int32_t> queueInput(CommandLineRecords& records, ProgressRecord& progress)
{
    ConversionJob& job = records.job;
    if (!job.inputFolder.empty() || isListFile(job.inputPath)) {
        progress.reset();
        bool folder = !job.inputFolder.empty();
        bool started = runOnWorkerThread([&] {
            if (folder)
                runImportWorker(records.inputs, job, records.formats, progress);
            else
                runListReader(records.inputs, job, records.formats, progress);
        });
        if (!started)
            return std::nullopt;
        std::lock_guard lock(progress.mutex);
        return progress.converted;
    }
    return addInput(records.inputs, job, records.formats, job.inputPath) ? 1 : 0;
}

/// The running executable, started again as the batch's render processes.
std::string ownExecutable()
{
    std::error_code error;
    auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : path.string();
}

/// Seconds a render process may spend on one file. QUILLMERE_FILE_TIME_LIMIT
/// shortens it for tests of hanging decoders; users have no reason to set it.
std::chrono::seconds fileTimeLimit()
{
    const char* text = std::getenv("QUILLMERE_FILE_TIME_LIMIT");
    long seconds = text ? std::strtol(text, nullptr, 10) : 0;
    return seconds > 0 ? std::chrono::seconds(seconds) : BatchOptions{}.fileTimeLimit;
}

/// Runs the conversion on a worker thread; on a terminal (neither quiet nor
/// debug) this thread redraws one progress line until the worker is done.
bool convertOnWorkerThread(Run& run, ConversionContext& context, const BatchOptions& options,
                           int32_t total)
{
    ProgressRecord& progress = context.progress;
    bool showProgress = !run.quiet && !run.debug && progressLineWanted();
    try {
        auto started = std::chrono::steady_clock::now();
        std::atomic<bool> done{false};
        std::thread worker([&] {
            runParallelConversion(context, options);
            done = true;
        });
        while (showProgress && !done) {
            showProgressLine(progress, total, std::chrono::duration_cast<std::chrono::milliseconds>(
                                                  std::chrono::steady_clock::now() - started));
            for (int tick = 0; tick < 10 && !done; ++tick)
                std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        worker.join();
        if (showProgress)
            clearProgressLine();
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

std::optional<int32_t> convertQueued(Run& run, ProgressRecord& progress, int32_t total)
{
    CommandLineRecords& records = run.records;
    LogSink log;
    if (run.debug)
        log = [](const std::string& line) { printLine(line); };
    const WatermarkFont* font = run.watermarkFont ? &*run.watermarkFont : nullptr;
    ConversionContext context{records.job, records.settings, records.formats, records.inputs,
                              progress,    log,              font};
    BatchOptions options;
    options.executable = ownExecutable();
    options.jobs = effectiveJobCount(std::max(0, records.settings.workerThreads), records.inputs,
                                     records.settings);
    options.fileTimeLimit = fileTimeLimit();
    progress.reset();
    StopOnInterrupt stopOnInterrupt(progress.running);
    if (!convertOnWorkerThread(run, context, options, total))
        return std::nullopt;
    std::lock_guard lock(progress.mutex);
    return progress.converted;
}

int checkAndConvert(Run& run)
{
    CommandLineRecords& records = run.records;
    ConversionJob& job = records.job;
    run.status("General", "Preparing");
    run.debugLine("Input: " + job.inputPath);

    std::optional<std::string> error = resolveInput(job);
    if (!error)
        error = resolveOutput(run);
    if (!error)
        error = resolveFormats(run);
    if (!error) {
        if (run.debug)
            listInputSettings(job.inputFormat, records.settings, printLine);
        error = checkOutputSettings(job.outputExtension, records.settings, records.formats, run.debug,
                                    printLine);
    }
    if (!error)
        error = checkImageSettings(records.settings, run.debug, printLine, run.watermarkFont);
    if (error) {
        printLine(*error);
        return kExitError;
    }
    prepareEngineFields(records);

    ProgressRecord progress;
    run.status("General", "Importing");
    std::optional<int32_t> total = queueInput(records, progress);
    if (!total)
        return kExitError;
    run.status("Msg", "Import complete", std::to_string(*total));
    if (*total == 0) {
        printLine(run.message("Msg", "Conversion is not complete"));
        printLine(run.message("Msg", "Empty input files"));
        return kExitIncomplete;
    }

    run.status("General", "Converting");
    std::optional<int32_t> converted = convertQueued(run, progress, *total);
    if (!converted)
        return kExitError;
    if (*converted > 0) {
        run.status("Msg", "Conversion complete");
        run.status("Msg", "Files converted", std::to_string(*converted), std::to_string(*total));
    } else {
        printLine(run.message("Msg", "Conversion is not complete"));
    }
    // Only a run that converted everything it queued succeeded.
    return *converted == *total ? kExitSuccess : kExitIncomplete;
}

}  // namespace

int runBatch(CommandLineRecords& records, bool quiet)
{
    Run run{records, quiet, records.job.logMode == "DEBUG", std::nullopt};
    return checkAndConvert(run);
}

}  // namespace quill
