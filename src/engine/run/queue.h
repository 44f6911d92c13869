// A queued input file as a run sees it: the engine converts a copy of the
// front end's input list, in queue order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quill {

struct QueuedFile {
    std::string path;
    std::string relativeSubfolder;  // ends with "/" or is empty
    int32_t fixedCounter = 0;       // %n% of a slice of a split run: 1 + its place in the whole queue
};

using Queue = std::vector<QueuedFile>;

}  // namespace quill
