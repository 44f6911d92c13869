// One conversion run, as both front ends start it. A run owns copies of the
// settings, the job's run fields and the queue, so a front end may change its
// own records while the run goes on. Files are rendered side by side (render
// processes, or this process when none can start) and named, committed,
// counted and reported strictly in queue order.
#pragma once

#include "app/job.h"
#include "engine/batch/commit.h"
#include "engine/formats.h"
#include "engine/run/progress.h"
#include "engine/run/queue.h"
#include "engine/run/run_preparation.h"
#include "settings/settings.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quill {

struct RunTotals {
    int32_t queued = 0;
    int32_t started = 0;
    int32_t converted = 0;
    int32_t skipped = 0;               // outputs kept as they were
    bool stopped = false;              // stop() or abort() ended the run early
    int32_t unhealthyRenderExits = 0;  // render processes that ended with an error of their own
    int32_t nextCounter = 0;           // %n% and %rnd% of the next success, for the
    int32_t nextRandomNumber = 0;      // front end to carry on into its next run
};

/// Called on the run's own thread, one call at a time, files in queue order.
/// A front end forwards them to its own thread or prints them.
struct RunObserver {
    std::function<void(size_t queueIndex, const std::string& inputPath)> fileStarted;
    std::function<void(const FileResult& result)> fileDone;
    std::function<void(const RunTotals& totals)> finished;
};

struct RunOptions {
    std::string executable;                   // started as the render processes; empty: render in this process
    std::chrono::seconds fileTimeLimit{600};  // a file that takes longer fails
    ProgressRecord* progress = nullptr;       // a record the front end polls; none: the run's own
    /// Names every file as the run would and writes nothing: no render
    /// process starts, no folder is made. A name that holds values of the
    /// decoded image is given as the output folder and the template.
    bool namesOnly = false;
};

class BatchRun {
public:
    /// Copies everything it reads. `prepared` comes from prepareRun; the job
    /// supplies the counter and random number the first file starts from.
    BatchRun(const Settings& settings, const ConversionJob& job, const PreparedRun& prepared,
             const FormatTables& formats, Queue queue, RunObserver observer, RunOptions options);
    ~BatchRun();  // aborts a run still going, then joins
    BatchRun(const BatchRun&) = delete;
    BatchRun& operator=(const BatchRun&) = delete;

    /// Starts the run on a thread of its own; false when no thread could start.
    bool start();
    /// Converts on the calling thread until the run ends.
    void runHere();
    /// No new file starts; the files in hand are finished and committed.
    void stop();
    /// The files in hand end at once: render processes are killed and no
    /// temporary file is left behind.
    void abort();
    /// Waits for the run's thread to end.
    void join();

    /// Polled by the front ends' progress displays; the
    /// `paused` flag holds the next file back while a question is open.
    ProgressRecord& progress();
    /// Valid once the run has ended.
    RunTotals totals() const;

    struct State;  // the run's own records; defined beside the conversion

private:
    std::unique_ptr<State> state_;
};

}  // namespace quill
