// The queue of input files: full paths in the order they were queued, each with
// its subfolder relative to the folder it was imported from. Paths are keys:
// a path is queued once (letter case matters).
//
// The list has no lock: while a worker fills it, nobody else reads or changes it.
#pragma once

#include "engine/run/queue.h"

#include <cstddef>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

namespace quill {

struct ConversionJob;
struct FormatTables;

using InputEntry = QueuedFile;

struct InputList {
    Queue entries;                                  // insertion order
    std::unordered_map<std::string, size_t> index;  // path -> position in entries
    /// Told of every entry addInput adds, on the adding thread: a worker
    /// filling a list of its own hands its finds to the window this way.
    std::function<void(const InputEntry&)> onAdded;

    bool contains(const std::string& path) const { return index.count(path) != 0; }
    size_t size() const { return entries.size(); }
    void clear()
    {
        entries.clear();
        index.clear();
    }
};

/// The single way into the list. Refuses an empty (0-byte) file, a file whose
/// extension is not an accepted input extension, and a path already queued;
/// a path that does not exist is not refused. The entry's relative subfolder is
/// its folder below the job's input folder. True when the path was added.
bool addInput(InputList& inputs, const ConversionJob& job, const FormatTables& formats, const std::string& path);

/// The part of `path`'s folder below `inputFolder`, ending with "/"; empty when
/// the file does not lie below that folder or either text is empty.
std::string relativeSubfolderOf(const std::string& path, const std::string& inputFolder);

}  // namespace quill
