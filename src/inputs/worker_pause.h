// Shared by the input workers: holding still while the front end asks whether
// to stop, before the next item is taken.
#pragma once

#include "engine/progress.h"

#include <chrono>
#include <thread>

namespace quill {

/// Waits while the worker is paused; returns whether it should go on.
inline bool mayContinue(ProgressRecord& progress)
{
    while (progress.paused && progress.running)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return progress.running;
}

}  // namespace quill
