#include "cli/batch.h"

#include "app/job.h"
#include "cli/console.h"
#include "cli/interrupt.h"
#include "cli/offscreen_gui.h"
#include "cli/settings_listing.h"
#include "cli/terminal_progress.h"
#include "cli/terminal_text.h"
#include "engine/batch/batch_run.h"
#include "engine/formats.h"
#include "engine/run/output_name.h"
#include "engine/run/progress.h"
#include "inputs/folder_import.h"
#include "inputs/input_list.h"
#include "inputs/list_file.h"
#include "platform/child_process.h"
#include "platform/paths.h"
#include "settings/setting_codes.h"
#include "settings/settings.h"
#include "text/language.h"
#include "text/ascii_case.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace quill {

namespace {

bool isListFile(const std::string& path)
{
    std::string extension = asciiLower(extensionOf(path));
    return extension == "txt" || extension == "lst";
}

/// Runs a worker on a thread of its own and waits for it; false when no
/// thread could be started.
bool runOnWorkerThread(const std::function<void()>& work)
{
    try {
        StopOnInterrupt::startThread(work).join();
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

struct Run {
    CommandLineRecords& records;
    bool quiet;
    bool debug;
    StopOnInterrupt& interrupt;

    void status(std::string_view group, std::string_view key, std::string_view s1 = {}, std::string_view s2 = {})
    {
        if (!quiet)
            printLine(message(group, key, s1, s2));
    }
    std::string message(std::string_view group, std::string_view key, std::string_view s1 = {},
                        std::string_view s2 = {})
    {
        return formatText(lookupText(records.language, group, key), s1, s2);
    }
};

/// One slice of a run split over several processes: K of N.
struct Shard {
    int32_t index = 1;
    int32_t count = 1;
};

std::optional<int32_t> wholeNumber(std::string_view text)
{
    if (text.empty() || text.size() > 6 || !std::all_of(text.begin(), text.end(), [](char c) {
            return c >= '0' && c <= '9';
        }))
        return std::nullopt;
    return static_cast<int32_t>(std::stol(std::string(text)));
}

/// "K/N" with 1 <= K <= N <= 100000; nothing when the text is not one.
std::optional<Shard> shardOf(const std::string& text)
{
    if (text.empty())
        return Shard{};
    size_t slash = text.find('/');
    if (slash == std::string::npos)
        return std::nullopt;
    auto index = wholeNumber(std::string_view(text).substr(0, slash));
    auto count = wholeNumber(std::string_view(text).substr(slash + 1));
    if (!index || !count || *index < 1 || *index > *count || *count > 100000)
        return std::nullopt;
    return Shard{*index, *count};
}

/// The files of this slice, in queue order, each numbered by its place in
/// the whole queue so that the slices together name files as one run would.
Queue sliceOf(const Queue& queue, const Shard& shard)
{
    if (shard.count == 1)
        return queue;
    Queue slice;
    for (size_t position = static_cast<size_t>(shard.index - 1); position < queue.size();
         position += static_cast<size_t>(shard.count)) {
        slice.push_back(queue[position]);
        slice.back().fixedCounter = static_cast<int32_t>(position + 1);
    }
    return slice;
}

/// Queues the input; the number of files added, or nothing when no worker
/// thread could be started.
std::optional<int32_t> queueInput(Run& run, const PreparedRun& prepared)
{
    CommandLineRecords& records = run.records;
    ConversionJob& job = records.job;
    job.inputPath = prepared.inputPath;
    job.inputFolder = prepared.inputFolder;
    if (!job.inputFolder.empty() || isListFile(job.inputPath)) {
        ProgressRecord progress;
        progress.reset();
        const StopOnInterrupt::Stage importing = run.interrupt.stage(progress.running);
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

/// Seconds a render process may spend on one file. QUILLMERE_FILE_TIME_LIMIT
/// shortens it for tests of hanging decoders; users have no reason to set it.
std::chrono::seconds fileTimeLimit()
{
    const char* text = std::getenv("QUILLMERE_FILE_TIME_LIMIT");
    long seconds = text ? std::strtol(text, nullptr, 10) : 0;
    return seconds > 0 ? std::chrono::seconds(seconds) : RunOptions{}.fileTimeLimit;
}

/// The debug log: the lines of each file as it is committed.
RunObserver debugLog()
{
    RunObserver observer;
    observer.fileDone = [](const FileResult& result) {
        for (const std::string& line : debugLogLines(result))
            printLine(line);
    };
    return observer;
}

/// Without the debug log, one line for each file that failed: which, and why,
/// so that the totals are not all the user learns. Under a progress line they
/// wait in `held` until the line is cleared.
RunObserver failureLog(std::vector<std::string>* held)
{
    RunObserver observer;
    observer.fileDone = [held](const FileResult& result) {
        if (result.converted || result.skipped)
            return;
        std::string line = "Not converted: " + escapeControls(result.inputPath) + " (" + result.reason + ")";
        if (held)
            held->push_back(std::move(line));
        else
            printLine(line);
    };
    return observer;
}

/// A dry run's line for each file, in queue order.
RunObserver dryRunLines()
{
    RunObserver observer;
    observer.fileDone = [](const FileResult& result) {
        printLine(result.inputPath + " -> " + (result.skipped ? std::string("(skipped)") : result.outputPath));
    };
    return observer;
}

/// Runs the conversion on a thread of its own; on a terminal (neither quiet
/// nor debug) this thread redraws one progress line until the run ends.
std::optional<RunTotals> convertQueued(Run& run, const PreparedRun& prepared, const Queue& queue)
{
    const auto total = static_cast<int32_t>(queue.size());
    CommandLineRecords& records = run.records;
    const bool dryRun = records.settings.dryRun != 0;
    RunOptions options;
    options.executable = ownExecutable();
    options.fileTimeLimit = fileTimeLimit();
    options.namesOnly = dryRun;
    bool showProgress = !run.quiet && !run.debug && !dryRun && progressLineWanted();
    std::vector<std::string> heldFailures;  // written by the run's thread, read after it ended
    RunObserver observer = dryRun      ? dryRunLines()
                           : run.debug ? debugLog()
                           : run.quiet ? RunObserver{}
                                       : failureLog(showProgress ? &heldFailures : nullptr);
    BatchRun batch(records.settings, records.job, prepared, records.formats, queue, std::move(observer), options);
    const StopOnInterrupt::Stage converting = run.interrupt.stage(batch.progress().running);
    auto started = std::chrono::steady_clock::now();
    std::atomic<bool> done{false};
    try {
        std::thread worker = StopOnInterrupt::startThread([&] {
            batch.runHere();
            done = true;
        });
        while (showProgress && !done) {
            showProgressLine(
                batch.progress(), total,
                std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started));
            for (int tick = 0; tick < 10 && !done; ++tick)
                std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        worker.join();
    } catch (const std::system_error&) {
        return std::nullopt;
    }
    if (showProgress)
        clearProgressLine();
    for (const std::string& line : heldFailures)
        printLine(line);
    return batch.totals();
}

/// The totals of a dry run: what a real run would convert and keep.
int reportDryRun(Run& run, const RunTotals& totals, int32_t total)
{
    if (totals.stopped) {
        printLine(run.message("Msg", "Conversion is not complete"));
        return kExitIncomplete;
    }
    if (!run.quiet)
        printLine("Files to convert: " + std::to_string(total - totals.skipped) + " of " + std::to_string(total));
    if (totals.skipped > 0)
        run.status("Msg", "Files skipped", std::to_string(totals.skipped));
    return kExitSuccess;
}

int checkAndConvert(Run& run)
{
    CommandLineRecords& records = run.records;
    run.status("General", "Preparing");
    // Fonts need a GUI layer, which the command line keeps offscreen.
    if (is(records.settings.doWatermark, WatermarkType::Text))
        startOffscreenGui();
    Preparation preparation = prepareRun(records.settings, records.job, records.formats);
    if (run.debug)
        listSettings(records.settings, records.job, records.formats, preparation, printLine);
    if (!preparation.run) {
        printLine(errorLine(*preparation.failure));
        return kExitError;
    }
    const PreparedRun& prepared = *preparation.run;
    std::optional<Shard> shard = shardOf(records.settings.shard);
    if (!shard) {
        printLine("Error: Invalid shard value");
        return kExitError;
    }

    run.status("General", "Importing");
    std::optional<int32_t> total = queueInput(run, prepared);
    if (!total)
        return kExitError;
    // An interrupted import neither completed nor found nothing: it stopped.
    if (run.interrupt.interrupted()) {
        printLine(run.message("Msg", "Conversion is not complete"));
        run.status("Msg", "Files converted", "0", std::to_string(*total));
        return kExitIncomplete;
    }
    run.status("Msg", "Import complete", std::to_string(*total));
    if (*total == 0) {
        printLine(run.message("Msg", "Conversion is not complete"));
        printLine(run.message("Msg", "Empty input files"));
        return kExitIncomplete;
    }

    // A slice's totals count its own files.
    const Queue queue = sliceOf(records.inputs.entries, *shard);
    total = static_cast<int32_t>(queue.size());
    const bool dryRun = records.settings.dryRun != 0;
    if (!dryRun)
        run.status("General", "Converting");
    else if (nameTemplateNeedsImage(records.settings.filenameMask, prepared.automaticDepth))
        printLine("Names hold values of the decoded image: the template is shown instead of each name");
    std::optional<RunTotals> totals = convertQueued(run, prepared, queue);
    if (!totals)
        return kExitError;
    if (dryRun)
        return reportDryRun(run, *totals, *total);
    // Outputs kept as they were count as done, so a resumed run that finishes
    // the rest succeeds. A slice may hold no file of a short queue: it has
    // done all it was given.
    const int32_t done = totals->converted + totals->skipped;
    if ((done > 0 || *total == 0) && !totals->stopped) {
        run.status("Msg", "Conversion complete");
        run.status("Msg", "Files converted", std::to_string(totals->converted), std::to_string(*total));
    } else {
        printLine(run.message("Msg", "Conversion is not complete"));
        if (totals->converted > 0)
            run.status("Msg", "Files converted", std::to_string(totals->converted), std::to_string(*total));
    }
    if (totals->skipped > 0)
        run.status("Msg", "Files skipped", std::to_string(totals->skipped));
    // Only a run that converted or kept everything it queued, with every
    // render process ending cleanly, succeeded.
    bool complete = done == *total && totals->unhealthyRenderExits == 0;
    return complete ? kExitSuccess : kExitIncomplete;
}

}  // namespace

int runBatch(CommandLineRecords& records, bool quiet)
{
    // In place before anything can take long: a signal during the import
    // stops it and the totals are still printed.
    std::atomic<bool> idle{true};
    StopOnInterrupt interrupt(idle);
    Run run{records, quiet, records.job.logMode == "DEBUG", interrupt};
    return checkAndConvert(run);
}

}  // namespace quill
