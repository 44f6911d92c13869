// The conversion job's reset and the %rnd% draw.
#include "app/job.h"

#include "platform/paths.h"

#include <mutex>
#include <random>

namespace quill {

int32_t drawRandomNumber()
{
    // One generator for the process, seeded once; the worker and the window may both draw.
    static std::mutex guard;
    static std::mt19937 generator{std::random_device{}()};
    std::uniform_int_distribution<int32_t> range(1, 99999);
    std::lock_guard lock(guard);
    return range(generator);
}

void resetConversionJob(ConversionJob& job)
{
    job.programFolder = programFolder();
    job.commandLineMode = 0;
    job.randomNumber = drawRandomNumber();
    job.counter = 1;

    job.inputFormat.clear();
    job.inputPath.clear();
    job.inputFolder.clear();
    job.relativeSubfolder.clear();
    job.outputPath.clear();
    job.outputFolder.clear();
    job.outputExtension.clear();

    job.sourceDepth = 0;
    job.targetDepth = 0;
    job.automaticDepth = 0;
    job.formatIdentifier = 0;
    job.saveFlags = 0;
    // The log mode, final size and frame number outlive a reset.
}

}  // namespace quill
