// The batch: files are rendered side by side in render processes and then
// named, committed, counted and reported strictly in queue order, so names,
// counters, random numbers and the debug log come out exactly as in a
// one-at-a-time run. When no render process can start, the same bookkeeping
// runs with each file rendered in this process.
#include "engine/batch/batch_run.h"

#include "engine/batch/existing_outputs.h"
#include "engine/batch/job_count.h"
#include "engine/batch/render_processes.h"
#include "engine/batch/render_service.h"
#include "engine/io/save.h"
#include "engine/pipeline.h"
#include "engine/run/failure_reason.h"
#include "engine/run/output_name.h"
#include "engine/run/worker.h"
#include "platform/memory_limit.h"
#include "platform/paths.h"
#include "platform/unique_fd.h"
#include "settings/setting_codes.h"

#include <algorithm>
#include <deque>
#include <fcntl.h>
#include <future>
#include <optional>
#include <poll.h>
#include <set>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace quill {

namespace {

using Clock = std::chrono::steady_clock;

// How often the batch looks whether the oldest file has reached the disk.
constexpr int kFlushCheckMs = 5;

// One queued file between its dispatch and its commit.
struct FileInFlight {
    size_t entry = 0;
    int process = -1;  // index of the render process, -1 once answered
    Clock::time_point started;
    int32_t counter = 0;  // the token values it was rendered with
    int32_t randomNumber = 0;
    int decodeThreads = 0;    // OpenMP threads its decode was given
    bool drawnAgain = false;  // its turn came, but it is rendered again for its counters
    // Never given to a render process: its output is there to keep, or the
    // run only names files. Drawn after all if its turn shows otherwise.
    bool unrendered = false;
    std::string foreseenPath;  // the name foreseen before rendering; empty when it needs the image
    std::optional<RenderReply> reply;
    std::future<bool> flushed;  // the rendered file on its way to disk
};

// Starts flushing a rendered file in the background: the commit must not
// wait for the disk while render processes are waiting for their next file.
void startFlush(FileInFlight& file)
{
    if (file.reply && file.reply->rendered)
        file.flushed = std::async(std::launch::async, flushToDisk, file.reply->temporaryPath);
}

bool flushPending(const FileInFlight& file)
{
    return file.flushed.valid() && file.flushed.wait_for(std::chrono::seconds(0)) != std::future_status::ready;
}

void finishFlush(FileInFlight& file)
{
    if (file.flushed.valid())
        file.flushed.wait();
}

bool watermarkShowsCounters(const Settings& settings)
{
    return is(settings.doWatermark, WatermarkType::Text) && showsCounterTokens(settings.wmText);
}

// Asks the kernel to read a queued camera file into memory ahead of its turn,
// so the render process that takes it finds it there instead of waiting for
// the disk behind the outputs being flushed. Nothing is parsed here.
void readAhead(const std::string& path)
{
    const UniqueFd file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!file)
        return;
    struct stat status {};
    if (::fstat(file.get(), &status) == 0 && S_ISREG(status.st_mode))
        (void)::posix_fadvise(file.get(), 0, 0, POSIX_FADV_WILLNEED);
}

}  // namespace

struct BatchRun::State {
    Settings settings;
    ConversionJob job;  // run fields; counter and random number of the next success
    FormatTables formats;
    Queue queue;
    RunObserver observer;
    RunOptions options;
    ProgressRecord ownProgress;
    ProgressRecord& progress;
    RunTotals totals;
    std::atomic<bool> aborting{false};
    UniqueFd wakeFd;  // written by abort() to end a wait at once
    std::thread thread;

    State(const Settings& s, const ConversionJob& j, const PreparedRun& prepared, const FormatTables& f, Queue q,
          RunObserver o, RunOptions opt)
        : settings(s), job(j), formats(f), queue(std::move(q)), observer(std::move(o)), options(std::move(opt)),
          progress(options.progress ? *options.progress : ownProgress)
    {
        takeOutputFields(job, prepared);
        job.inputFolder = prepared.inputFolder;
        job.inputFormat = prepared.inputFormat;
        font = prepared.font;
        jobs = prepared.jobs > 0 ? prepared.jobs : jobCountFor(settings, queue);
        wakeFd.reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
        progress.reset();
        totals.queued = static_cast<int32_t>(queue.size());
    }
    std::optional<WatermarkFont> font;
    int jobs = 1;
};

namespace {

class Conversion {
public:
    explicit Conversion(BatchRun::State& run)
        : run_(run), processes_(std::max(1, run.jobs)),
          runMessage_(runMessage(run.settings, run.job, run.font ? &*run.font : nullptr)),
          local_(run.options.executable.empty() || run.options.namesOnly), claims_(run.queue),
          namesOnly_(run.options.namesOnly), rule_(existingFilesRule(run.settings))
    {
        upcomingRandom_.push_back(run.job.randomNumber);
        cores_ = std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
        threadsPerFile_ = std::max(1, cores_ / static_cast<int>(processes_.size()));
        const char* own = std::getenv("OMP_NUM_THREADS");
        ownThreadCount_ = own && *own;
        memoryShare_ = renderMemoryShare(availableMemory(), static_cast<int>(processes_.size()));
    }

    ~Conversion()
    {
        for (auto& file : inFlight_) {
            finishFlush(file);
            if (file.reply && !file.reply->temporaryPath.empty())
                ::unlink(file.reply->temporaryPath.c_str());
        }
        for (auto& process : processes_)
            stopRenderProcess(process, false);
    }

    void run()
    {
        const size_t total = run_.queue.size();
        while (!run_.aborting) {
            // The oldest file, drawn again, goes before any new one.
            if (!inFlight_.empty() && awaitsProcess(inFlight_.front())) {
                startFirstRenderer();
                if (freeProcess() >= 0)
                    send(inFlight_.front(), freeProcess());
            }
            // Hand out work before committing: no render process waits while
            // this one renames, dates and logs the previous output. A file
            // whose output is there to keep needs no render process at all.
            while (next_ < total && !run_.aborting) {
                const bool kept = keptBeforeRendering(next_);
                if (!kept) {
                    startFirstRenderer();
                    if (freeProcess() < 0 || renderingInFlight() >= inFlightLimit())
                        break;
                }
                // While a question holds new files back, the files in hand go on.
                if (kept && run_.progress.paused && !inFlight_.empty())
                    break;
                if (!mayContinue(run_.progress))
                    break;
                kept ? queueUnrendered(next_++) : dispatch(next_++, freeProcess());
            }
            if (inFlight_.empty() || run_.aborting)
                break;
            FileInFlight& front = inFlight_.front();
            if (!front.reply || flushPending(front))
                waitForReplies();
            else if (takeFixedCounter(front), renderedWithStaleCounters(front))
                renderAgain(front);
            else
                commitFront();
        }
        if (run_.aborting)
            abandonFilesInHand();
        for (auto& process : processes_)
            if (!stopRenderProcess(process, false))
                ++unhealthyExits_;
        finish();
    }

private:
    // Rendering here, one file is in hand at a time, so a stop or a pause
    // holds back the very next file.
    size_t inFlightLimit() const { return local_ ? 1 : 2 * processes_.size(); }

    size_t renderingInFlight() const
    {
        return static_cast<size_t>(std::count_if(inFlight_.begin(), inFlight_.end(), [](const FileInFlight& file) {
            return !file.unrendered;
        }));
    }

    // Started with the first file that needs one, so a run that only keeps
    // outputs, or only names them, starts none.
    void startFirstRenderer()
    {
        if (rendererTried_)
            return;
        rendererTried_ = true;
        if (!local_ &&
            !startRenderProcess(processes_[0], run_.options.executable, runMessage_, threadsPerFile_, memoryShare_)) {
            local_ = true;  // no render process can start: render here, one file at a time
            processes_.resize(1);
        }
    }

    /// Decided from the file system before any render process is asked, with
    /// the numbers the file gets if every file before it succeeds; its turn
    /// in the commit decides again with the numbers as they are then. A run
    /// that only names files renders none.
    bool keptBeforeRendering(size_t entryIndex)
    {
        nextForeseen_.reset();
        if (rule_ == ExistingFiles::Replace && !namesOnly_)
            return false;
        const QueuedFile& entry = run_.queue[entryIndex];
        const size_t ahead = inFlight_.size();
        ConversionJob job = run_.job;
        job.inputPath = entry.path;
        job.relativeSubfolder = entry.relativeSubfolder;
        job.counter = entry.fixedCounter ? entry.fixedCounter : run_.job.counter + static_cast<int32_t>(ahead);
        job.randomNumber = randomNumberAhead(ahead);
        job.frameNumber = 1;
        // A name that shows the image is known only once the file is rendered.
        if (!nameDependsOnImage(run_.settings.filenameMask, job))
            nextForeseen_ = claims_.foreseenName(outputPathFor(job, run_.settings));
        return namesOnly_ ||
               (nextForeseen_ &&
                keepsExistingOutput(existingFilesRuleFor(rule_, run_.settings, job), *nextForeseen_, entry.path) &&
                !claims_.namesAnInput(*nextForeseen_));
    }

    /// Takes the name foreseen for the next file along into flight.
    void foreseeFor(FileInFlight& file)
    {
        if (nextForeseen_) {
            file.foreseenPath = *nextForeseen_;
            claims_.foresee(file.foreseenPath);
        }
        nextForeseen_.reset();
    }

    void queueUnrendered(size_t entryIndex)
    {
        const QueuedFile& entry = run_.queue[entryIndex];
        // Files a killed run left in a folder go, also where nothing is written.
        if (!namesOnly_ && swept_.insert(destinationFolder(entry)).second)
            removeStaleTemporaries(destinationFolder(entry));
        const size_t ahead = inFlight_.size();
        FileInFlight file;
        file.entry = entryIndex;
        file.counter = entry.fixedCounter ? entry.fixedCounter : run_.job.counter + static_cast<int32_t>(ahead);
        file.randomNumber = randomNumberAhead(ahead);
        file.unrendered = true;
        file.reply = RenderReply{};
        foreseeFor(file);
        inFlight_.push_back(std::move(file));
        ++run_.totals.started;
        if (run_.observer.fileStarted)
            run_.observer.fileStarted(entryIndex, entry.path);
        showCurrentFile();
    }

    bool processIsFree(size_t index) const
    {
        return std::none_of(inFlight_.begin(), inFlight_.end(), [index](const FileInFlight& file) {
            return file.process == static_cast<int>(index);
        });
    }

    int freeProcess() const
    {
        for (size_t i = 0; i < processes_.size(); ++i)
            if (processIsFree(i))
                return static_cast<int>(i);
        return -1;
    }

    int32_t randomNumberAhead(size_t ahead)
    {
        while (upcomingRandom_.size() <= ahead)
            upcomingRandom_.push_back(drawRandomNumber());
        return upcomingRandom_[ahead];
    }

    RenderRequest requestFor(const FileInFlight& file) const
    {
        const QueuedFile& entry = run_.queue[file.entry];
        return {entry.path,   entry.relativeSubfolder, destinationFolder(entry),
                file.counter, file.randomNumber,       file.decodeThreads};
    }

    void send(FileInFlight& file, int processIndex)
    {
        file.decodeThreads = ownThreadCount_ || local_ ? 0 : threadsForNextDecode();
        file.process = processIndex;
        file.started = Clock::now();
        file.reply.reset();
        if (local_) {
            file.reply =
                renderFile(requestFor(file), run_.settings, run_.job, run_.formats, run_.font ? &*run_.font : nullptr);
            file.process = -1;
            startFlush(file);
            return;
        }
        RenderProcess& process = processes_[processIndex];
        // A process that died while idle costs no file: a fresh one takes it.
        for (int attempt = 0; attempt < 2; ++attempt) {
            if (!process.alive() &&
                !startRenderProcess(process, run_.options.executable, runMessage_, threadsPerFile_, memoryShare_))
                break;
            if (sendMessage(process.toChild.get(), requestMessage(requestFor(file))))
                return;
            stopRenderProcess(process, true);
        }
        failInFlight(file, FailureReason::noRenderProcess);
    }

    int threadsForNextDecode() const
    {
        int busyThreads = 0;
        for (const auto& file : inFlight_)
            if (file.process >= 0 && !file.reply)
                busyThreads += std::max(1, file.decodeThreads);
        int freeProcesses = 0;
        for (size_t i = 0; i < processes_.size(); ++i)
            freeProcesses += processIsFree(i);
        size_t filesLeft = 1 + (run_.queue.size() - std::min(next_, run_.queue.size()));
        return decodeThreadsForNextFile(cores_, busyThreads, freeProcesses, filesLeft);
    }

    /// A render process's file carries that process's name until the batch
    /// takes it over, so a later sweep for that process cannot remove it.
    static void adoptRenderedFile(RenderReply& reply)
    {
        if (!reply.rendered)
            return;
        TemporaryOutput held(reply.temporaryPath);
        std::string error;
        if (adoptTemporary(held, error)) {
            reply.temporaryPath = held.release();
            return;
        }
        reply.rendered = false;
        reply.error = error;
        reply.temporaryPath.clear();
    }

    /// Kills a render process and removes what it was writing for `file`.
    void killAndClearUp(RenderProcess& process, const FileInFlight& file)
    {
        pid_t pid = process.pid;
        stopRenderProcess(process, true);
        if (pid > 0)
            removeTemporariesOf(destinationFolder(run_.queue[file.entry]), pid);
    }

    void dispatch(size_t entryIndex, int processIndex)
    {
        const QueuedFile& entry = run_.queue[entryIndex];
        if (run_.settings.keepSubfolders &&
            !isDirectory(withTrailingSlash(run_.job.outputFolder) + entry.relativeSubfolder))
            createSubfolders(run_.job.outputFolder, entry.relativeSubfolder);
        // Files a killed run left in a folder go before this run writes there.
        if (swept_.insert(destinationFolder(entry)).second)
            removeStaleTemporaries(destinationFolder(entry));
        // Token values as they will be if every file before this one succeeds.
        size_t ahead = inFlight_.size();
        FileInFlight file;
        file.entry = entryIndex;
        file.counter = entry.fixedCounter ? entry.fixedCounter : run_.job.counter + static_cast<int32_t>(ahead);
        file.randomNumber = randomNumberAhead(ahead);
        foreseeFor(file);
        inFlight_.push_back(std::move(file));
        ++run_.totals.started;
        if (run_.observer.fileStarted)
            run_.observer.fileStarted(entryIndex, entry.path);
        showCurrentFile();
        send(inFlight_.back(), processIndex);
        readAheadOfDispatch();
    }

    // The files the next free render processes will take; in the background,
    // since asking the disk can itself wait behind the flushes.
    void readAheadOfDispatch()
    {
        // Files whose outputs may be kept are not read at all.
        if (local_ || rule_ != ExistingFiles::Replace)
            return;
        std::erase_if(readAheads_, [](const std::future<void>& done) {
            return done.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
        });
        readAheadUpTo_ = std::max(readAheadUpTo_, next_);
        for (; readAheadUpTo_ < std::min(run_.queue.size(), next_ + processes_.size()); ++readAheadUpTo_)
            readAheads_.push_back(std::async(std::launch::async, readAhead, run_.queue[readAheadUpTo_].path));
    }

    // The current file is the oldest one in flight: the one the count waits for.
    void showCurrentFile()
    {
        if (inFlight_.empty())
            return;
        size_t entryIndex = inFlight_.front().entry;
        std::lock_guard lock(run_.progress.mutex);
        run_.progress.fileIndex = static_cast<int32_t>(entryIndex + 1);
        run_.progress.currentFile = run_.queue[entryIndex].path;
        run_.progress.lastDuration = lastDuration_;
    }

    std::string destinationFolder(const QueuedFile& entry) const
    {
        std::string folder = withTrailingSlash(run_.job.outputFolder);
        return run_.settings.keepSubfolders ? folder + entry.relativeSubfolder : folder;
    }

    void failInFlight(FileInFlight& file, FailureReason reason)
    {
        RenderReply reply;
        reply.error = failureText(reason);
        file.reply = reply;
        file.process = -1;
    }

    FileInFlight* fileOf(int processIndex)
    {
        for (auto& file : inFlight_)
            if (file.process == processIndex)
                return &file;
        return nullptr;
    }

    void waitForReplies()
    {
        std::vector<pollfd> fds;
        std::vector<int> owners;
        int timeoutMs = -1;
        auto now = Clock::now();
        for (auto& file : inFlight_) {
            if (file.reply || file.process < 0)
                continue;
            fds.push_back({processes_[file.process].fromChild.get(), POLLIN, 0});
            owners.push_back(file.process);
            auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(file.started + run_.options.fileTimeLimit - now)
                    .count();
            left = std::max<int64_t>(left, 0);
            timeoutMs = timeoutMs < 0 ? static_cast<int>(left) : std::min(timeoutMs, static_cast<int>(left));
        }
        // The oldest file has its reply, so only its flush holds it back: look
        // back soon to commit it. Asking whether the flush is still pending
        // here could see it end just now and leave nothing to wake the poll.
        if (inFlight_.front().reply)
            timeoutMs = timeoutMs < 0 ? kFlushCheckMs : std::min(timeoutMs, kFlushCheckMs);
        // A stop asked while paused or an abort must not wait for a decode.
        fds.push_back({run_.wakeFd.get(), POLLIN, 0});
        int ready = ::poll(fds.data(), fds.size(), timeoutMs);
        if (ready < 0 || run_.aborting)
            return;  // interrupted or aborted: look again
        for (size_t i = 0; ready > 0 && i + 1 < fds.size(); ++i) {
            if (fds[i].revents == 0)
                continue;
            FileInFlight* file = fileOf(owners[i]);
            RenderProcess& process = processes_[owners[i]];
            RenderReply reply;
            auto message = receiveMessage(process.fromChild.get());
            if (message && parseReply(*message, reply)) {
                adoptRenderedFile(reply);
                file->reply = reply;
                file->process = -1;
                startFlush(*file);
            } else {
                // Crashed or spoke nonsense: this file fails, a fresh process takes the next.
                killAndClearUp(process, *file);
                failInFlight(*file, FailureReason::renderProcessEnded);
            }
        }
        now = Clock::now();
        for (auto& file : inFlight_) {
            if (!file.reply && file.process >= 0 && now - file.started >= run_.options.fileTimeLimit) {
                killAndClearUp(processes_[file.process], file);
                failInFlight(file, FailureReason::timeLimitExceeded);
            }
        }
    }

    // A text watermark showing %n% or %rnd% was drawn with the values the file
    // would get if every earlier file succeeded; after a failure, draw it again.
    bool renderedWithStaleCounters(const FileInFlight& file) const
    {
        return watermarkShowsCounters(run_.settings) && file.reply->rendered &&
               (file.counter != run_.job.counter || file.randomNumber != run_.job.randomNumber);
    }

    // A slice of a split run numbers each file by its place in the whole queue.
    void takeFixedCounter(const FileInFlight& file)
    {
        if (int32_t fixed = run_.queue[file.entry].fixedCounter)
            run_.job.counter = fixed;
    }

    // Waits in flight for the next free render process, ahead of new files.
    void renderAgain(FileInFlight& file)
    {
        finishFlush(file);
        if (!file.reply->temporaryPath.empty())
            ::unlink(file.reply->temporaryPath.c_str());
        file.unrendered = false;
        file.counter = run_.job.counter;
        file.randomNumber = run_.job.randomNumber;
        file.reply.reset();
        file.process = -1;
        file.drawnAgain = true;
    }

    static bool awaitsProcess(const FileInFlight& file) { return !file.reply && file.process < 0; }

    void commitFront()
    {
        FileInFlight& file = inFlight_.front();
        ConversionJob& job = run_.job;
        const std::string foreseenPath = std::move(file.foreseenPath);
        file.foreseenPath.clear();
        if (!foreseenPath.empty())
            claims_.forget(foreseenPath);
        std::optional<FileResult> unrendered;
        if (file.unrendered) {
            unrendered = commitUnrendered(file.entry, run_.queue[file.entry], job, run_.settings, claims_, rule_,
                                          namesOnly_, foreseenPath);
            if (!unrendered) {
                // Its output is not there to keep after all.
                const QueuedFile& entry = run_.queue[file.entry];
                if (run_.settings.keepSubfolders)
                    createSubfolders(run_.job.outputFolder, entry.relativeSubfolder);
                renderAgain(file);
                return;
            }
        }
        FileResult result = unrendered ? std::move(*unrendered)
                                       : commitFile(file.entry, run_.queue[file.entry], *file.reply, job, run_.settings,
                                                    claims_, rule_);
        if (result.converted || result.skipped || namesOnly_) {
            if (result.converted) {
                ++run_.totals.converted;
                auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - file.started);
                lastDuration_ = std::max<int64_t>(elapsed.count(), 1000) / static_cast<int64_t>(processes_.size());
            }
            if (result.skipped)
                ++run_.totals.skipped;
            // A failed file consumes neither a number nor a counter value; a
            // kept one does, as it did when it was written.
            upcomingRandom_.pop_front();
            job.randomNumber = randomNumberAhead(0);
            ++job.counter;
        } else {
            lastDuration_ = 0;
        }
        inFlight_.pop_front();
        {
            std::lock_guard lock(run_.progress.mutex);
            ++run_.progress.finished;
        }
        if (run_.observer.fileDone)
            run_.observer.fileDone(result);
        showCurrentFile();
    }

    /// Abort: every file in hand ends now and leaves nothing behind.
    void abandonFilesInHand()
    {
        const auto folders = foldersInHand();
        for (auto& process : processes_) {
            pid_t pid = process.pid;
            stopRenderProcess(process, true);
            if (pid > 0)
                for (const auto& folder : folders)
                    removeTemporariesOf(folder, pid);
        }
        // A file drawn again for its counters had its turn already: it ends as
        // its second rendering did, or as aborted when that had not come back.
        if (!inFlight_.empty() && inFlight_.front().drawnAgain) {
            FileInFlight& front = inFlight_.front();
            if (!front.reply)
                failInFlight(front, FailureReason::runAborted);
            finishFlush(front);
            commitFront();
        }
        for (auto& file : inFlight_) {
            finishFlush(file);
            if (file.reply && !file.reply->temporaryPath.empty())
                ::unlink(file.reply->temporaryPath.c_str());
            file.reply.reset();
        }
        inFlight_.clear();
    }

    std::set<std::string> foldersInHand() const
    {
        std::set<std::string> folders;
        for (const auto& file : inFlight_)
            folders.insert(destinationFolder(run_.queue[file.entry]));
        return folders;
    }

    void finish()
    {
        run_.totals.stopped = run_.aborting || run_.totals.started < run_.totals.queued;
        run_.totals.unhealthyRenderExits = unhealthyExits_;
        run_.totals.nextCounter = run_.job.counter;
        run_.totals.nextRandomNumber = run_.job.randomNumber;
        std::lock_guard lock(run_.progress.mutex);
        run_.progress.converted = run_.totals.converted;
    }

    BatchRun::State& run_;
    std::vector<RenderProcess> processes_;
    Message runMessage_;
    bool local_ = false;  // render in this process
    std::deque<FileInFlight> inFlight_;
    std::deque<int32_t> upcomingRandom_;  // front: the random number of the next success
    size_t next_ = 0;
    size_t readAheadUpTo_ = 0;  // queued files already read ahead
    std::vector<std::future<void>> readAheads_;
    OutputClaims claims_;     // the queued inputs and this run's outputs so far
    bool namesOnly_ = false;  // a dry run
    ExistingFiles rule_ = ExistingFiles::Replace;
    bool rendererTried_ = false;
    std::optional<std::string> nextForeseen_;  // the next file's name, between its decision and its dispatch
    std::set<std::string> swept_;              // folders cleared of stale temporary files
    int64_t lastDuration_ = 0;
    int cores_ = 1;
    int threadsPerFile_ = 1;       // each render process's default
    bool ownThreadCount_ = false;  // the user's OMP_NUM_THREADS holds for every file
    int32_t unhealthyExits_ = 0;
    int64_t memoryShare_ = 0;  // bytes each render process may decode into
};

}  // namespace

BatchRun::BatchRun(const Settings& settings, const ConversionJob& job, const PreparedRun& prepared,
                   const FormatTables& formats, Queue queue, RunObserver observer, RunOptions options)
    : state_(std::make_unique<State>(settings, job, prepared, formats, std::move(queue), std::move(observer),
                                     std::move(options)))
{
}

BatchRun::~BatchRun()
{
    if (state_->thread.joinable()) {
        abort();
        join();
    }
}

bool BatchRun::start()
{
    try {
        state_->thread = std::thread([this] {
            runHere();
        });
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

void BatchRun::runHere()
{
    Conversion(*state_).run();
    if (state_->observer.finished)
        state_->observer.finished(state_->totals);
}

void BatchRun::stop()
{
    std::lock_guard lock(state_->progress.mutex);
    state_->progress.running = false;
}

void BatchRun::abort()
{
    state_->aborting = true;
    stop();
    uint64_t one = 1;
    (void)!::write(state_->wakeFd.get(), &one, sizeof one);
}

void BatchRun::join()
{
    if (state_->thread.joinable())
        state_->thread.join();
}

ProgressRecord& BatchRun::progress()
{
    return state_->progress;
}

RunTotals BatchRun::totals() const
{
    return state_->totals;
}

}  // namespace quill
