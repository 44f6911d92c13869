// How many files a batch keeps in flight, and how the decoder's threads are
// shared among them.
#include "engine/batch/job_count.h"

#include "platform/memory_limit.h"
#include "settings/setting_codes.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <thread>

namespace quill {

int decodeThreadsForNextFile(int cores, int busyThreads, int freeProcesses, size_t filesLeft)
{
    int startingNow = static_cast<int>(std::min<size_t>(std::max(1, freeProcesses), std::max<size_t>(1, filesLeft)));
    return std::max(1, (cores - busyThreads) / startingNow);
}

int64_t decodeMemoryEstimate(const std::string& path, const Settings& settings)
{
    // Judged from the file's length, not its header: the batch process never
    // parses a camera file itself, so a file that crashes a parser can only
    // ever cost its own render process. Camera files hold about one byte per
    // pixel (16-bit samples uncompressed, 8 to 14 bits losslessly packed).
    std::error_code error;
    auto bytes = static_cast<int64_t>(std::filesystem::file_size(path, error));
    if (error)
        return 0;
    int64_t pixels = bytes;
    if (is(settings.rawLoadAs, RawLoadAs::Rgb48HalfSize))
        pixels /= 4;  // the half-size decode
    // The decoder's four 16-bit channels, FreeImage's 48-bit copy and the
    // converted output.
    return pixels * 24 + (32 << 20);
}

int mostJobs(int cores)
{
    return kMostJobsPerCore * std::max(1, cores);
}

int effectiveJobCount(int requested, const Queue& queue, const Settings& settings)
{
    return effectiveJobCount(requested, queue, settings, static_cast<int>(std::thread::hardware_concurrency()),
                             availableMemory());
}

int effectiveJobCount(int requested, const Queue& queue, const Settings& settings, int cores, int64_t freeMemory)
{
    // Hundreds of render processes would each hold a decoder's memory and take
    // longer to start than the files take to convert.
    if (requested > 0)
        return std::min(requested, mostJobs(cores));
    int64_t largest = 0;
    for (const auto& entry : queue)
        largest = std::max(largest, decodeMemoryEstimate(entry.path, settings));
    int64_t budget = freeMemory / 2;
    int jobs = std::min<int>(std::max(1, cores), std::max<size_t>(1, queue.size()));
    while (jobs > 1 && largest > 0 && budget > 0 && jobs * largest > budget)
        --jobs;
    return std::max(1, jobs);
}

}  // namespace quill
