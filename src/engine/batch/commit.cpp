#include "engine/batch/commit.h"

#include "engine/batch/existing_outputs.h"
#include "engine/io/identify.h"
#include "engine/io/save.h"
#include "engine/pipeline.h"
#include "engine/run/failure_reason.h"
#include "engine/run/worker.h"
#include "platform/paths.h"

#include <optional>
#include <sys/stat.h>

namespace quill {

std::vector<std::string> debugLogLines(const FileResult& result)
{
    std::vector<std::string> lines{"Processing: " + result.inputPath,
                                   "File Format: " + identifyFileType(result.inputPath)};
    if (result.skipped) {
        lines.push_back("[SKIP] Exists: " + result.outputPath);
    } else if (result.converted) {
        lines.push_back("[OK] Saving As: " + result.outputPath);
    } else {
        lines.push_back("[ERROR] Unable to convert the file!");
        lines.push_back("Reason: " + result.reason);
    }
    return lines;
}

std::string numberedName(const std::string& path, int number)
{
    // A name of only an extension (".tiff") has none: the number goes last.
    const std::string name = fileNamePart(path);
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0)
        return path + "_" + std::to_string(number);
    return folderPart(path) + name.substr(0, dot) + "_" + std::to_string(number) + name.substr(dot);
}

OutputClaims::OutputClaims(const Queue& queue)
{
    for (const QueuedFile& file : queue) {
        struct stat status {};
        if (::stat(file.path.c_str(), &status) == 0)
            inputs_.insert({status.st_dev, status.st_ino});
    }
}

std::string OutputClaims::unclaimedName(const std::string& named) const
{
    std::string candidate = named;
    for (int number = 2; written_.count(candidate) != 0; ++number)
        candidate = numberedName(named, number);
    return candidate;
}

std::string OutputClaims::foreseenName(const std::string& named) const
{
    auto taken = [this](const std::string& name) {
        return written_.count(name) != 0 || foreseen_.count(name) != 0;
    };
    std::string candidate = named;
    for (int number = 2; taken(candidate); ++number)
        candidate = numberedName(named, number);
    return candidate;
}

bool OutputClaims::namesAnInput(const std::string& path) const
{
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && inputs_.count({status.st_dev, status.st_ino}) != 0;
}

FileResult commitFile(size_t queueIndex, const QueuedFile& entry, RenderReply& reply, ConversionJob& job,
                      const Settings& settings, OutputClaims& claims, ExistingFiles rule)
{
    job.inputPath = entry.path;
    job.relativeSubfolder = entry.relativeSubfolder;
    job.sourceDepth = reply.sourceDepth;
    const int32_t runDepth = job.targetDepth;
    if (job.automaticDepth)
        job.targetDepth = reply.targetDepth;
    job.finalWidth = reply.finalWidth;
    job.finalHeight = reply.finalHeight;
    job.frameNumber = 1;

    FileResult result;
    result.queueIndex = queueIndex;
    result.inputPath = entry.path;
    result.relativeSubfolder = entry.relativeSubfolder;
    result.counter = job.counter;
    result.randomNumber = job.randomNumber;
    result.reason = reply.error;
    result.finalWidth = reply.finalWidth;
    result.finalHeight = reply.finalHeight;
    result.frameNumber = job.frameNumber;
    result.sourceDepth = reply.sourceDepth;
    result.targetDepth = job.targetDepth;
    if (reply.rendered) {
        TemporaryOutput temporary(reply.temporaryPath);
        reply.temporaryPath.clear();
        std::string outputPath = claims.unclaimedName(outputPathFor(job, settings));
        if (claims.namesAnInput(outputPath)) {
            result.reason = failureText(FailureReason::overwritesInput);
        } else if (keepsExistingOutput(existingFilesRuleFor(rule, settings, job), outputPath, entry.path)) {
            result.skipped = true;
            result.outputPath = outputPath;
            claims.claim(outputPath);
        } else {
            // Dated before the rename, so the final name never shows another date.
            applyOutputTimestamp(temporary.path(), entry.path, settings);
            if (commitOutput(temporary, outputPath, result.reason)) {
                result.converted = true;
                result.outputPath = outputPath;
                claims.claim(outputPath);
            }
        }
    }
    if (result.converted || result.skipped) {
        result.reason.clear();
        job.outputPath = result.outputPath;
    } else if (result.reason.empty()) {
        result.reason = failureText(FailureReason::notDecodable);
    }
    if (job.automaticDepth)
        job.targetDepth = runDepth;
    return result;
}

std::optional<FileResult> commitUnrendered(size_t queueIndex, const QueuedFile& entry, ConversionJob& job,
                                           const Settings& settings, OutputClaims& claims, ExistingFiles rule,
                                           bool namesOnly, const std::string& foreseenPath)
{
    job.inputPath = entry.path;
    job.relativeSubfolder = entry.relativeSubfolder;
    job.frameNumber = 1;
    FileResult result;
    result.queueIndex = queueIndex;
    result.inputPath = entry.path;
    result.relativeSubfolder = entry.relativeSubfolder;
    result.counter = job.counter;
    result.randomNumber = job.randomNumber;
    result.frameNumber = job.frameNumber;
    if (namesOnly && foreseenPath.empty()) {
        std::string folder = withTrailingSlash(job.outputFolder);
        result.outputPath =
            (settings.keepSubfolders ? folder + entry.relativeSubfolder : folder) + settings.filenameMask;
        return result;
    }
    // Any image values do: the name does not show them. The path foreseen
    // was looked at on the disk when the file was queued.
    std::string outputPath = claims.unclaimedName(outputPathFor(job, settings));
    const bool kept = (outputPath == foreseenPath && !namesOnly) ||
                      (!claims.namesAnInput(outputPath) &&
                       keepsExistingOutput(existingFilesRuleFor(rule, settings, job), outputPath, entry.path));
    if (!kept && !namesOnly)
        return std::nullopt;
    result.skipped = kept;
    result.outputPath = outputPath;
    claims.claim(outputPath);
    job.outputPath = outputPath;
    return result;
}

}  // namespace quill
