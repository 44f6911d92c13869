// The conversion worker: walks the input list in order, converts each file,
// and reports through the progress record. The running flag is read between
// files only, so a file that has begun is always finished.
#include "engine/worker.h"

#include "engine/identify.h"
#include "engine/pipeline.h"
#include "inputs/worker_pause.h"
#include "platform/paths.h"

#include <algorithm>
#include <chrono>
#include <mutex>
#include <fcntl.h>
#include <sys/stat.h>

namespace quill {

bool createSubfolders(const std::string& outputFolder, const std::string& relativeSubfolder)
{
    std::string folder = withTrailingSlash(outputFolder);
    size_t start = 0;
    while (start < relativeSubfolder.size()) {
        size_t slash = relativeSubfolder.find('/', start);
        if (slash == std::string::npos)
            slash = relativeSubfolder.size();
        if (slash > start) {
            folder += relativeSubfolder.substr(start, slash - start) + "/";
            if (!isDirectory(folder))
                ::mkdir(folder.c_str(), 0777);
        }
        start = slash + 1;
    }
    return isDirectory(folder.empty() ? "." : folder);
}

std::time_t timeFromLocalSeconds(int32_t localSeconds)
{
    // The stored value counts local wall-clock seconds; read its fields as such.
    std::time_t wallClock = localSeconds;
    std::tm fields {};
    ::gmtime_r(&wallClock, &fields);
    fields.tm_isdst = -1;
    return std::mktime(&fields);
}

bool applyOutputTimestamp(const std::string& outputPath, const std::string& inputPath,
                          const Settings& settings)
{
    timespec times[2] {};
    times[0].tv_nsec = UTIME_OMIT;  // the access time stays
    if (settings.fileTimestamp == 1) {
        struct stat input {};
        if (::stat(inputPath.c_str(), &input) != 0)
            return false;
        times[1] = input.st_mtim;
    } else if (settings.fileTimestamp == 2) {
        times[1].tv_sec = timeFromLocalSeconds(settings.customTimestamp);
    } else {
        return true;
    }
    return ::utimensat(AT_FDCWD, outputPath.c_str(), times, 0) == 0;
}

void runConversionWorker(ConversionContext& context)
{
    ConversionJob& job = context.job;
    ProgressRecord& progress = context.progress;
    const bool logging = static_cast<bool>(context.log);
    int32_t index = 0;
    int32_t converted = 0;
    int64_t duration = 0;

    for (const InputEntry& entry : context.inputs.entries) {
        if (!mayContinue(progress))
            break;
        ++index;
        job.inputPath = entry.path;
        job.relativeSubfolder = entry.relativeSubfolder;
        {
            std::lock_guard lock(progress.mutex);
            progress.fileIndex = index;
            progress.currentFile = job.inputPath;
            progress.lastDuration = duration;
        }
        if (context.settings.keepSubfolders &&
            !isDirectory(withTrailingSlash(job.outputFolder) + job.relativeSubfolder))
            createSubfolders(job.outputFolder, job.relativeSubfolder);  // a failure shows in the save
        if (logging) {
            context.log("Processing: " + job.inputPath);
            context.log("File Format: " + identifyFileType(job.inputPath));
        }

        auto started = std::chrono::steady_clock::now();
        if (convertOneFile(context)) {
            if (logging)
                context.log("[OK] Saving As: " + job.outputPath);
            ++converted;
            auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                std::chrono::steady_clock::now() - started);
            duration = std::max<int64_t>(elapsed.count(), 1000);
            // A failed file consumes neither a number nor a counter value.
            job.randomNumber = drawRandomNumber();
            ++job.counter;
            applyOutputTimestamp(job.outputPath, job.inputPath, context.settings);
        } else {
            duration = 0;
            if (logging)
                context.log("[ERROR] Unable to convert the file!");
        }
        std::lock_guard lock(progress.mutex);
        progress.finished = index;
    }

    std::lock_guard lock(progress.mutex);
    progress.converted = converted;
}

}  // namespace quill
