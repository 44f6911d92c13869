// The progress record a worker shares with its front end. The front end reads
// it under the mutex; the worker writes it under the mutex, and reads the
// running flag between items to know whether to go on.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <chrono>

namespace quill {

struct ProgressRecord {
    std::mutex mutex;
    int32_t fileIndex = 0;  // 1-based number of the file being worked on
    std::string currentFile;
    int64_t lastDuration = 0;  // milliseconds the previous file took
    int32_t converted = 0;     // written once, when the worker ends
    int32_t finished = 0;      // files done so far, converted or failed
    std::atomic<bool> running{false};
    std::atomic<bool> paused{false};  // a front end holds the next file back while it asks

    /// Back to the state before a run: index 0, no file, running.
    void reset()
    {
        std::lock_guard lock(mutex);
        fileIndex = 0;
        currentFile.clear();
        lastDuration = 0;
        converted = 0;
        finished = 0;
        running = true;
        paused = false;
    }
};

/// Waits while the worker is paused; returns whether it should go on.
inline bool mayContinue(ProgressRecord& progress)
{
    while (progress.paused && progress.running)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return progress.running;
}

}  // namespace quill
