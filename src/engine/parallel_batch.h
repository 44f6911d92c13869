// Converting a batch with several files in flight. Render processes decode and
// process files side by side; this process names, commits, counts and logs
// them strictly in queue order, so names, counters, random numbers and the
// debug log come out exactly as in a one-at-a-time run.
#pragma once

#include "engine/pipeline.h"

#include <chrono>
#include <cstdint>
#include <string>

namespace quill {

struct BatchOptions {
    std::string executable;        // started as the render processes
    int jobs = 1;                  // files in flight at once
    std::chrono::seconds fileTimeLimit{600};  // a file that takes longer fails
};

/// Files in flight for `requested` (0 = automatic): the number of cores,
/// lowered so that that many decodes of the largest queued file fit in half
/// the memory that is free now; never below 1.
int effectiveJobCount(int requested, const InputList& inputs, const Settings& settings);

/// The same for a machine of `cores` cores with `freeMemory` bytes free
/// (0: unknown, the cores alone decide).
int effectiveJobCount(int requested, const InputList& inputs, const Settings& settings, int cores,
                      int64_t freeMemory);

/// What one decode of the file may need at its peak, in bytes (an estimate
/// from the camera file's pixel size, or from its length).
int64_t decodeMemoryEstimate(const std::string& path, const Settings& settings);

/// OpenMP threads for the decode of a file about to start: the cores not held
/// by the decodes in flight, shared among the files that can start now (one
/// per free render process, fewer when fewer files are left); at least 1. A
/// file that runs alone gets every core, files side by side share them.
int decodeThreadsForNextFile(int cores, int busyThreads, int freeProcesses, size_t filesLeft);

/// Like runConversionWorker, with up to `options.jobs` files rendered at once
/// in render processes. A file whose render process crashes or exceeds the
/// time limit fails and the batch goes on. Falls back to the in-process
/// worker when no render process can be started.
void runParallelConversion(ConversionContext& context, const BatchOptions& options);

}  // namespace quill
