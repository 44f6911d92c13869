// One number for the whole process: render processes decode one file at a
// time, and a worker thread reads it from its own thread.
#include "engine/io/memory_share.h"

#include <atomic>

namespace quill {
namespace {

std::atomic<int64_t> share{0};

}  // namespace

void setDecodeMemoryShare(int64_t bytes)
{
    share.store(bytes > 0 ? bytes : 0);
}

int64_t decodeMemoryShare()
{
    return share.load();
}

bool fitsDecodeMemoryShare(int64_t bytes)
{
    const int64_t limit = share.load();
    return limit == 0 || bytes <= limit;
}

}  // namespace quill
