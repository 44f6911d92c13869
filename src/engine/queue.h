// A queued input file as a run sees it: the engine converts a copy of the
// front end's input list, in queue order.
#pragma once

#include <string>
#include <vector>

namespace quill {

struct QueuedFile {
    std::string path;
    std::string relativeSubfolder;  // ends with "/" or is empty
};

using Queue = std::vector<QueuedFile>;

}  // namespace quill
