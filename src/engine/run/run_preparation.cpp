#include "engine/run/run_preparation.h"

#include "engine/steps/depth.h"
#include "engine/run/output_settings.h"
#include "engine/batch/job_count.h"
#include "platform/paths.h"
#include "settings/setting_codes.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace quill {

namespace {

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

// A picture must be a file with content; a folder or an empty file fails.
bool isNonEmptyFile(const std::string& path)
{
    std::error_code error;
    return isRegularFile(path) && std::filesystem::file_size(path, error) > 0 && !error;
}

bool withinPercentRange(int32_t value)
{
    return value >= -100 && value <= 100;
}

/// Walks the checks in order, noting the first failure; later checks are
/// skipped once one has failed.
struct Checker {
    const Settings& settings;
    std::optional<CheckFailure> failure;

    bool failed() const { return failure.has_value(); }
    bool fail(RunCheck check, std::string argument = {})
    {
        failure = CheckFailure{check, std::move(argument)};
        return false;
    }
};

/// Classifies a path run's input by its extension: a file (picture or
/// list) must have content; anything else is a folder, which must exist.
bool resolveInput(Checker& checker, const ConversionJob& job, PreparedRun& run)
{
    if (!extensionOf(job.inputPath).empty()) {
        run.inputPath = fromWorkingFolder(job.inputPath);
        if (!isNonEmptyFile(run.inputPath))
            return checker.fail(RunCheck::InvalidInputFile, run.inputPath);
        return true;
    }
    std::optional<std::string> folder = existingFolder(job.inputPath);
    if (!folder)
        return checker.fail(RunCheck::InvalidInputFolder, job.inputPath);
    run.inputFolder = *folder;
    return true;
}

/// Without an output folder the outputs of a path run go beside the input; a
/// queue has no one place for them. The folder is never created: a missing
/// one is the user's mistake, not ours to guess at.
bool resolveOutput(Checker& checker, const ConversionJob& job, bool fromPath, PreparedRun& run)
{
    std::string folder = job.outputFolder;
    if (fromPath) {
        if (folder.empty())
            folder = run.inputFolder.empty() ? folderPart(run.inputPath) : run.inputFolder;
    } else if (folder.empty()) {
        return checker.fail(RunCheck::EmptyOutputFolder);
    }
    std::optional<std::string> resolved = existingFolder(folder);
    if (!resolved)
        return checker.fail(RunCheck::InvalidOutputFolder, withTrailingSlash(folder));
    run.outputFolder = *resolved;
    return true;
}

bool resolveFormats(Checker& checker, const ConversionJob& job, const FormatTables& formats, PreparedRun& run)
{
    run.inputFormat = job.inputFormat;
    run.outputExtension = job.outputExtension;
    if (run.inputFormat.empty() && !formats.inputFormatList.empty())
        run.inputFormat = formats.inputFormatList.front();
    if (run.outputExtension.empty() && !formats.outputFormatList.empty())
        run.outputExtension = formats.outputFormatList.front();
    // Exact and case-sensitive: the key is also the written extension.
    const auto& offered = formats.outputFormatList;
    if (std::find(offered.begin(), offered.end(), run.outputExtension) == offered.end())
        return checker.fail(RunCheck::InvalidConversionType, run.outputExtension);
    return true;
}

bool checkOutputSettings(Checker& checker, const FormatTables& formats, const PreparedRun& run)
{
    const std::string& key = run.outputExtension;
    const OutputFormatRow* output = findOutputFormatRow(key);
    const OutputFormatRow* format = findOutputFormat(formats, key);
    if (!output || !format)
        return checker.fail(RunCheck::InvalidConversionType, key);
    int32_t depth = checker.settings.*(output->depth);
    std::vector<int32_t> offered = offeredDepths(*format);
    if (depth != 0 && std::find(offered.begin(), offered.end(), depth) == offered.end())
        return checker.fail(RunCheck::InvalidDepth, key);
    if (output->quality) {
        int32_t quality = checker.settings.*(output->quality);
        if (quality < 1 || quality > 100)
            return checker.fail(RunCheck::InvalidQuality, key);
    }
    return true;
}

bool checkResize(Checker& checker)
{
    const Settings& settings = checker.settings;
    if (!settings.doImageResize)
        return true;
    if (settings.imageWidth == 0)
        return checker.fail(RunCheck::InvalidWidth);
    if (settings.imageHeight == 0)
        return checker.fail(RunCheck::InvalidHeight);
    return true;
}

bool checkColourCorrection(Checker& checker)
{
    const Settings& settings = checker.settings;
    if (!settings.doImageColorCorrection)
        return true;
    if (!withinPercentRange(settings.imageBrightness))
        return checker.fail(RunCheck::InvalidBrightness);
    if (!withinPercentRange(settings.imageContrast))
        return checker.fail(RunCheck::InvalidContrast);
    // Written so that not-a-number fails too.
    if (!(settings.imageGamma >= 0.01f && settings.imageGamma <= 9.99f))
        return checker.fail(RunCheck::InvalidGamma);
    return true;
}

bool checkWatermark(Checker& checker, bool fromPath, std::optional<WatermarkFont>& font)
{
    const Settings& settings = checker.settings;
    if (is(settings.doWatermark, WatermarkType::Text)) {
        font = loadWatermarkFont(settings);
        if (!font)
            return checker.fail(RunCheck::InvalidWatermarkFont, settings.wmFont);
    } else if (is(settings.doWatermark, WatermarkType::Image)) {
        if (!fromPath && settings.wmImage.empty())
            return checker.fail(RunCheck::EmptyWatermarkImage);
        if (!isNonEmptyFile(settings.wmImage))
            return checker.fail(RunCheck::InvalidWatermarkImage, settings.wmImage);
    }
    return true;
}

/// A path run checks the whole setting record: its settings were typed by hand.
bool checkPathRun(Checker& checker, const ConversionJob& job, const FormatTables& formats, PreparedRun& run)
{
    return resolveInput(checker, job, run) && resolveOutput(checker, job, true, run) &&
           resolveFormats(checker, job, formats, run) && checkOutputSettings(checker, formats, run) &&
           checkResize(checker) && checkColourCorrection(checker) && checkWatermark(checker, true, run.font);
}

/// A queue run's eight checks: the list, the output folder, the size, the watermark.
bool checkQueueRun(Checker& checker, const ConversionJob& job, const FormatTables& formats, const Queue* queue,
                   PreparedRun& run)
{
    if (!queue || queue->empty())
        return checker.fail(RunCheck::EmptyInputList);
    if (!resolveOutput(checker, job, false, run))
        return false;
    if (!checkResize(checker))
        return false;
    if (!checkWatermark(checker, false, run.font))
        return false;
    // The format boxes offer only what the tables list; a stale choice falls back.
    run.inputFormat = formats.inputFormatList.empty() ? std::string() : formats.inputFormatList.front();
    run.outputExtension = isOfferedOutput(formats, job.outputExtension) || formats.outputFormatList.empty()
                              ? job.outputExtension
                              : formats.outputFormatList.front();
    return true;
}

}  // namespace

Preparation prepareRun(const Settings& settings, const ConversionJob& job, const FormatTables& formats,
                       const Queue* queue)
{
    Checker checker{settings, std::nullopt};
    PreparedRun run;
    bool passed = queue ? checkQueueRun(checker, job, formats, queue, run) : checkPathRun(checker, job, formats, run);
    if (!passed)
        return {std::nullopt, checker.failure, std::move(run)};
    prepareOutputFields(settings, formats, run);
    if (queue)
        run.jobs = jobCountFor(settings, *queue);
    return {run, std::nullopt, run};
}

void prepareOutputFields(const Settings& settings, const FormatTables& formats, PreparedRun& run)
{
    const OutputFormatRow* format = findOutputFormat(formats, run.outputExtension);
    run.formatIdentifier = format ? format->formatIdentifier : 0;
    run.targetDepth = outputDepthSetting(run.outputExtension, settings);
    run.automaticDepth = run.targetDepth == 0;
    run.saveFlags = saveFlagsFor(run.outputExtension, settings);
}

void takeOutputFields(ConversionJob& job, const PreparedRun& run)
{
    job.outputFolder = run.outputFolder;
    job.outputExtension = run.outputExtension;
    job.formatIdentifier = run.formatIdentifier;
    job.targetDepth = run.targetDepth;
    job.automaticDepth = run.automaticDepth ? 1 : 0;
    job.saveFlags = run.saveFlags;
}

int jobCountFor(const Settings& settings, const Queue& queue)
{
    return effectiveJobCount(std::max(0, settings.workerThreads), queue, settings);
}

}  // namespace quill
