// A hard memory cap per process through RLIMIT_DATA. RLIMIT_AS would count
// address space that is only reserved: the shared libraries alone, and 64 MB
// per decoder thread's malloc arena, break a modest cap before any pixel is
// decoded. RLIMIT_DATA counts what a decode really takes: the heap and
// private writable mappings.
#include "platform/memory_limit.h"

#include <fstream>
#include <limits>
#include <string>
#include <sys/resource.h>

namespace quill {

bool limitProcessMemory(int64_t bytes)
{
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_DATA, &limit) != 0)
        return false;
    rlim_t wanted = bytes > 0 ? static_cast<rlim_t>(bytes) : RLIM_INFINITY;
    // An unprivileged process may lower its hard limit but never raise it.
    if (limit.rlim_max != RLIM_INFINITY && (wanted == RLIM_INFINITY || wanted > limit.rlim_max))
        wanted = limit.rlim_max;
    limit.rlim_cur = wanted;
    return ::setrlimit(RLIMIT_DATA, &limit) == 0;
}

int64_t availableMemory()
{
    std::ifstream meminfo("/proc/meminfo");
    std::string key;
    int64_t kibibytes = 0;
    std::string unit;
    while (meminfo >> key >> kibibytes >> unit) {
        if (key == "MemAvailable:")
            return kibibytes > std::numeric_limits<int64_t>::max() / 1024 ? 0 : kibibytes * 1024;
    }
    return 0;
}

}  // namespace quill
