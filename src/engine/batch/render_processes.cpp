#include "engine/batch/render_processes.h"

#include "engine/batch/render_service.h"

#include <cstdlib>

namespace quill {

namespace {

// A decode allocates a few hundred megabytes. Backed by huge pages, the heap
// is faulted in 512 times fewer pieces, which cuts the processor time of a
// render process's first file by about a second on a virtual machine, where
// each page fault is expensive. The user's own tunables are kept.
std::string withHugePages(const char* tunables)
{
    std::string own = tunables ? tunables : "";
    if (own.find("glibc.malloc.hugetlb=") != std::string::npos)
        return "GLIBC_TUNABLES=" + own;
    return "GLIBC_TUNABLES=" + (own.empty() ? std::string() : own + ":") + "glibc.malloc.hugetlb=1";
}

std::vector<std::string> renderEnvironment(int requestFd, int replyFd, int threadsPerFile, int64_t memoryShare)
{
    // The decoder spreads one file over OpenMP threads: with several files in
    // flight, share the cores out so no more threads than cores are busy.
    const char* threads = std::getenv("OMP_NUM_THREADS");
    return environmentWith({
        withHugePages(std::getenv("GLIBC_TUNABLES")),
        std::string(kRenderServiceVariable) + "=" + std::to_string(requestFd) + "," + std::to_string(replyFd),
        "OMP_NUM_THREADS=" + (threads && *threads ? std::string(threads) : std::to_string(threadsPerFile)),
        std::string(kMemoryShareVariable) + "=" + std::to_string(memoryShare),
    });
}

}  // namespace

bool startRenderProcess(RenderProcess& process, const std::string& executable, const Message& run, int threadsPerFile,
                        int64_t memoryShare)
{
    auto environment = [&](int childReads, int childWrites) {
        return renderEnvironment(childReads, childWrites, threadsPerFile, memoryShare);
    };
    if (!startChildProcess(process, executable, environment))
        return false;
    if (!sendMessage(process.toChild.get(), run)) {
        stopChildProcess(process, true);
        return false;
    }
    return true;
}

bool stopRenderProcess(RenderProcess& process, bool kill)
{
    return stopChildProcess(process, kill);
}

}  // namespace quill
