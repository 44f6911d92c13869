// The conversion job's reset and the %rnd% draw.
#include "app/job.h"

#include "platform/paths.h"

#include <mutex>
#include <utility>
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
    // Everything starts anew except the log mode, final size and frame number.
    ConversionJob fresh;
    fresh.programFolder = programFolder();
    fresh.randomNumber = drawRandomNumber();
    fresh.counter = 1;
    fresh.logMode = std::move(job.logMode);
    fresh.finalWidth = job.finalWidth;
    fresh.finalHeight = job.finalHeight;
    fresh.frameNumber = job.frameNumber;
    job = std::move(fresh);
}

}  // namespace quill
