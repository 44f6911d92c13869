// How many files a batch keeps in flight: as many as there are cores, fewer
// when their decodes would not fit in memory.
#pragma once

#include "engine/run/queue.h"
#include "settings/settings.h"

#include <chrono>
#include <cstdint>
#include <string>

namespace quill {

/// Jobs beyond this many per core only cost memory and start-up time.
inline constexpr int kMostJobsPerCore = 8;

/// The most files in flight on a machine of `cores` cores (0: unknown, as one).
int mostJobs(int cores);

/// Files in flight for `requested` (0 = automatic): the number of cores,
/// lowered so that that many decodes of the largest queued file fit in half
/// the memory that is free now; never below 1. A requested count, from any
/// front end or file, is held to mostJobs.
int effectiveJobCount(int requested, const Queue& queue, const Settings& settings);

/// The same for a machine of `cores` cores with `freeMemory` bytes free
/// (0: unknown, the cores alone decide).
int effectiveJobCount(int requested, const Queue& queue, const Settings& settings, int cores, int64_t freeMemory);

/// What one decode of the file may need at its peak, in bytes (an estimate
/// from the camera file's pixel size, or from its length).
int64_t decodeMemoryEstimate(const std::string& path, const Settings& settings);

/// OpenMP threads for the decode of a file about to start: the cores not held
/// by the decodes in flight, shared among the files that can start now (one
/// per free render process, fewer when fewer files are left); at least 1. A
/// file that runs alone gets every core, files side by side share them.
int decodeThreadsForNextFile(int cores, int busyThreads, int freeProcesses, size_t filesLeft);

}  // namespace quill
