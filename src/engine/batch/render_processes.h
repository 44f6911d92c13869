// Starting and ending the render processes a batch hands its files to.
#pragma once

#include "platform/channel.h"
#include "platform/child_process.h"

#include <cstdint>
#include <string>

namespace quill {

using RenderProcess = ChildProcess;

/// Starts `executable` as a render process and sends it the run: its decodes
/// spread over `threadsPerFile` threads (unless the user set OMP_NUM_THREADS)
/// and fit in `memoryShare` bytes. False, with the process gone, on failure.
[[nodiscard]] bool startRenderProcess(RenderProcess& process, const std::string& executable, const Message& run,
                                      int threadsPerFile, int64_t memoryShare);

/// Ends a render process (at once when `kill`); false when it ended with an
/// error of its own.
bool stopRenderProcess(RenderProcess& process, bool kill);

}  // namespace quill
