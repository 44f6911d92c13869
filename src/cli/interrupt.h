// Ctrl-C and SIGTERM during a command-line batch. The first asks the batch to
// take no further file: the files in hand are finished and committed, and the
// totals are printed (the run then reports fewer files than queued). A second
// one ends the process at once; its render processes end with it. Either way
// no output is ever left half-written under its final name.
#pragma once

#include <atomic>
#include <functional>
#include <thread>

namespace quill {

/// While alive, SIGINT and SIGTERM clear `running` once, then end the process.
class StopOnInterrupt {
public:
    explicit StopOnInterrupt(std::atomic<bool>& running);

    /// While alive, a signal clears `running`, the flag of the stage under
    /// way (at once when a signal came already); at its end the flag before
    /// it is the target again, so no signal reaches a flag that is gone.
    class Stage {
    public:
        explicit Stage(std::atomic<bool>& running);
        ~Stage();
        Stage(const Stage&) = delete;
        Stage& operator=(const Stage&) = delete;

    private:
        std::atomic<bool>* earlier_;
    };
    [[nodiscard]] Stage stage(std::atomic<bool>& running) { return Stage(running); }

    /// Starts a thread that never takes the signals: they stay with the thread
    /// that ends each stage, so a handler cannot run beside a stage's end.
    static std::thread startThread(const std::function<void()>& work);

    /// True once a signal asked to stop.
    bool interrupted() const;
    ~StopOnInterrupt();
    StopOnInterrupt(const StopOnInterrupt&) = delete;
    StopOnInterrupt& operator=(const StopOnInterrupt&) = delete;
};

}  // namespace quill
