// What the automatic job count decides for a batch of camera files, as
// bench/parallel.sh compares it with the memory the batch really used:
//   job_budget RAW_LOAD_AS FILE...
// prints "jobs N", "largest BYTES" (one decode of the largest file, estimated)
// and "free BYTES" (the memory free now; the budget is half of it).
#include "engine/batch/job_count.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

long long availableMemory()
{
    std::ifstream meminfo("/proc/meminfo");
    std::string key, unit;
    long long kilobytes = 0;
    while (meminfo >> key >> kilobytes >> unit)
        if (key == "MemAvailable:")
            return kilobytes * 1024;
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s RAW_LOAD_AS FILE...\n", argv[0]);
        return 1;
    }
    quill::Settings settings;
    settings.rawLoadAs = std::atoi(argv[1]);
    quill::Queue inputs;
    long long largest = 0;
    for (int i = 2; i < argc; ++i) {
        inputs.push_back({argv[i], {}});
        largest = std::max<long long>(largest, quill::decodeMemoryEstimate(argv[i], settings));
    }
    std::printf("jobs %d\nlargest %lld\nfree %lld\n", quill::effectiveJobCount(0, inputs, settings), largest,
                availableMemory());
    return 0;
}
