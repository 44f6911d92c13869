// Ctrl-C and SIGTERM during a command-line batch. The first asks the batch to
// take no further file: the files in hand are finished and committed, and the
// totals are printed (the run then reports fewer files than queued). A second
// one ends the process at once; its render processes end with it. Either way
// no output is ever left half-written under its final name.
#pragma once

#include <atomic>

namespace quill {

/// While alive, SIGINT and SIGTERM clear `running` once, then end the process.
class StopOnInterrupt {
public:
    explicit StopOnInterrupt(std::atomic<bool>& running);
    /// The flag the next stage runs by; cleared at once when a signal came already.
    void redirect(std::atomic<bool>& running);
    /// True once a signal asked to stop.
    bool interrupted() const;
    ~StopOnInterrupt();
    StopOnInterrupt(const StopOnInterrupt&) = delete;
    StopOnInterrupt& operator=(const StopOnInterrupt&) = delete;
};

}  // namespace quill
