// The queue of input files: full paths in the order they were queued, each with
// its subfolder relative to the folder it was imported from. Paths are keys:
// a path is queued once (letter case matters).
#pragma once

#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

namespace quill {

struct InputEntry {
    std::string path;
    std::string relativeSubfolder;  // ends with "/" or is empty
};

struct InputList {
    std::vector<InputEntry> entries;                 // insertion order
    std::unordered_map<std::string, size_t> index;   // path -> position in entries

    bool contains(const std::string& path) const { return index.count(path) != 0; }
    size_t size() const { return entries.size(); }
    void clear()
    {
        entries.clear();
        index.clear();
    }
};

}  // namespace quill
