// The batch: files are rendered side by side in render processes and then
// named, committed, counted and reported strictly in queue order, so names,
// counters, random numbers and the debug log come out exactly as in a
// one-at-a-time run. When no render process can start, the same bookkeeping
// runs with each file rendered in this process.
#include "engine/batch/batch_run.h"

#include "engine/io/identify.h"
#include "engine/batch/existing_outputs.h"
#include "engine/batch/job_count.h"
#include "engine/pipeline.h"
#include "engine/batch/render_service.h"
#include "engine/io/save.h"
#include "engine/run/output_name.h"
#include "engine/run/worker.h"
#include "platform/memory_limit.h"
#include "platform/paths.h"
#include "settings/setting_codes.h"

#include <algorithm>
#include <csignal>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <filesystem>
#include <future>
#include <optional>
#include <poll.h>
#include <set>
#include <sys/eventfd.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace quill {

namespace {

using Clock = std::chrono::steady_clock;

// How often the batch looks whether the oldest file has reached the disk.
constexpr int kFlushCheckMs = 5;

// One render process and the two pipes to it.
struct RenderProcess {
    pid_t pid = -1;
    int toChild = -1;
    int fromChild = -1;

    bool alive() const { return pid > 0; }
};

void closeFd(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

/// Ends the process (at once when `kill`); false when it ended abnormally:
/// by a signal other than our own kill, or with a non-zero exit code, as a
/// sanitizer or the C library do after a memory error.
bool stopProcess(RenderProcess& process, bool kill)
{
    closeFd(process.toChild);  // end of input lets a healthy process leave by itself
    bool healthy = true;
    if (process.alive()) {
        if (kill)
            ::kill(process.pid, SIGKILL);
        int status = 0;
        while (::waitpid(process.pid, &status, 0) < 0 && errno == EINTR) {
        }
        healthy = kill || (WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    closeFd(process.fromChild);
    process.pid = -1;
    return healthy;
}

// A decode allocates a few hundred megabytes. Backed by huge pages, the heap
// is faulted in 512 times fewer pieces, which cuts the processor time of a
// render process's first file by about a second on a virtual machine, where
// each page fault is expensive. The user's own tunables are kept.
std::string withHugePages(const char* tunables)
{
    std::string own = tunables ? tunables : "";
    if (own.find("glibc.malloc.hugetlb=") != std::string::npos)
        return "GLIBC_TUNABLES=" + own;
    return "GLIBC_TUNABLES=" + (own.empty() ? std::string() : own + ":") + "glibc.malloc.hugetlb=1";
}

std::vector<std::string> childEnvironment(int requestFd, int replyFd, int threadsPerFile, int64_t memoryShare)
{
    std::vector<std::string> variables;
    for (char** variable = environ; *variable; ++variable)
        if (std::strncmp(*variable, "OMP_NUM_THREADS=", 16) != 0 &&
            std::strncmp(*variable, "GLIBC_TUNABLES=", 15) != 0)
            variables.emplace_back(*variable);
    variables.push_back(withHugePages(std::getenv("GLIBC_TUNABLES")));
    variables.push_back(std::string(kRenderServiceVariable) + "=" + std::to_string(requestFd) + "," +
                        std::to_string(replyFd));
    // The decoder spreads one file over OpenMP threads: with several files in
    // flight, share the cores out so no more threads than cores are busy.
    const char* own = std::getenv("OMP_NUM_THREADS");
    variables.push_back("OMP_NUM_THREADS=" + (own && *own ? std::string(own) : std::to_string(threadsPerFile)));
    variables.push_back(std::string(kMemoryShareVariable) + "=" + std::to_string(memoryShare));
    return variables;
}

/// In the child between fork and exec: only async-signal-safe calls. The
/// death signal is armed before the program starts, and a batch that died
/// before it was armed is noticed by the changed parent.
[[noreturn]] void execRenderProcess(const char* executable, char* const argv[], char* const envp[],
                                    int requestFd, int replyFd, pid_t batch)
{
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != batch)
        ::_exit(127);
    // The two pipe ends survive exec; everything else of the batch closes on exec.
    int flags = ::fcntl(requestFd, F_GETFD);
    ::fcntl(requestFd, F_SETFD, flags & ~FD_CLOEXEC);
    flags = ::fcntl(replyFd, F_GETFD);
    ::fcntl(replyFd, F_SETFD, flags & ~FD_CLOEXEC);
    int null = ::open("/dev/null", O_RDWR);
    if (null >= 0) {
        ::dup2(null, 0);
        ::dup2(null, 1);
        ::dup2(null, 2);
        if (null > 2)
            ::close(null);
    }
    // Signals the batch ignores or blocks must not stay that way in the child.
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::execve(executable, argv, envp);
    ::_exit(127);
}

bool startProcess(RenderProcess& process, const std::string& executable, const Message& run,
                  int threadsPerFile, int64_t memoryShare)
{
    int requests[2], replies[2];
    if (::pipe2(requests, O_CLOEXEC) != 0)
        return false;
    if (::pipe2(replies, O_CLOEXEC) != 0) {
        ::close(requests[0]);
        ::close(requests[1]);
        return false;
    }
    // A program that cannot be started is known before anything is forked.
    if (::access(executable.c_str(), X_OK) != 0) {
        for (int fd : {requests[0], requests[1], replies[0], replies[1]})
            ::close(fd);
        return false;
    }
    auto variables = childEnvironment(requests[0], replies[1], threadsPerFile, memoryShare);
    std::vector<char*> envp;
    for (auto& variable : variables)
        envp.push_back(variable.data());
    envp.push_back(nullptr);
    std::string name = executable;
    char* argv[] = {name.data(), nullptr};
    const pid_t batch = ::getpid();
    pid_t pid = ::fork();
    if (pid == 0)
        execRenderProcess(executable.c_str(), argv, envp.data(), requests[0], replies[1], batch);
    ::close(requests[0]);
    ::close(replies[1]);
    process = {pid > 0 ? pid : -1, requests[1], replies[0]};
    if (pid < 0 || !sendMessage(process.toChild, run)) {
        stopProcess(process, true);
        return false;
    }
    return true;
}

// One queued file between its dispatch and its commit.
struct FileInFlight {
    size_t entry = 0;
    int process = -1;          // index of the render process, -1 once answered
    Clock::time_point started;
    int32_t counter = 0;       // the token values it was rendered with
    int32_t randomNumber = 0;
    int decodeThreads = 0;     // OpenMP threads its decode was given
    // Never given to a render process: its output is there to keep, or the
    // run only names files. Rendered after all if its turn shows otherwise.
    bool unrendered = false;
    std::string predictedPath;  // the name foreseen before rendering; empty when it needs the image
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
    return file.flushed.valid() &&
           file.flushed.wait_for(std::chrono::seconds(0)) != std::future_status::ready;
}

void finishFlush(FileInFlight& file)
{
    if (file.flushed.valid())
        file.flushed.wait();
}

bool watermarkShowsCounters(const Settings& settings)
{
    if (!is(settings.doWatermark, WatermarkType::Text))
        return false;
    std::string text = settings.wmText;
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text.find("%n%") != std::string::npos || text.find("%rnd%") != std::string::npos;
}

// Asks the kernel to read a queued camera file into memory ahead of its turn,
// so the render process that takes it finds it there instead of waiting for
// the disk behind the outputs being flushed. Nothing is parsed here.
void readAhead(const std::string& path)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat status {};
    if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode))
        (void)::posix_fadvise(fd, 0, 0, POSIX_FADV_WILLNEED);
    ::close(fd);
}

struct FileIdentity {
    dev_t device;
    ino_t inode;
    auto operator<=>(const FileIdentity&) const = default;
};

std::optional<FileIdentity> identityOf(const std::string& path)
{
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0)
        return std::nullopt;
    return FileIdentity{status.st_dev, status.st_ino};
}

/// "name_2.tiff" for "name.tiff"; the suffix goes before the extension.
std::string numberedName(const std::string& path, int number)
{
    size_t slash = path.rfind('/');
    size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash) || dot == slash + 1)
        return path + "_" + std::to_string(number);
    return path.substr(0, dot) + "_" + std::to_string(number) + path.substr(dot);
}

}  // namespace

std::vector<std::string> debugLogLines(const FileResult& result)
{
    std::vector<std::string> lines{"Processing: " + result.inputPath,
                                   "File Format: " + identifyFileType(result.inputPath)};
    if (result.skipped) {
        lines.push_back("[SKIP] Exists: " + result.outputPath);
    } else if (result.converted) {
        lines.push_back("[OK] Saving As: " + result.outputPath);
    } else {
        lines.push_back("[ERROR] Unable to convert the file!");
        lines.push_back("Reason: " + result.reason);
    }
    return lines;
}

std::string ownExecutable()
{
    std::error_code error;
    auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : path.string();
}

struct BatchRun::State {
    Settings settings;
    ConversionJob job;          // run fields; counter and random number of the next success
    FormatTables formats;
    Queue queue;
    RunObserver observer;
    RunOptions options;
    ProgressRecord ownProgress;
    ProgressRecord& progress;
    RunTotals totals;
    std::atomic<bool> aborting{false};
    int wakeFd = -1;            // written by abort() to end a wait at once
    std::thread thread;

    State(const Settings& s, const ConversionJob& j, const PreparedRun& prepared, const FormatTables& f, Queue q,
          RunObserver o, RunOptions opt)
        : settings(s), job(j), formats(f), queue(std::move(q)), observer(std::move(o)), options(std::move(opt)),
          progress(options.progress ? *options.progress : ownProgress)
    {
        job.inputFolder = prepared.inputFolder;
        job.outputFolder = prepared.outputFolder;
        job.inputFormat = prepared.inputFormat;
        job.outputExtension = prepared.outputExtension;
        job.formatIdentifier = prepared.formatIdentifier;
        job.targetDepth = prepared.targetDepth;
        job.automaticDepth = prepared.automaticDepth ? 1 : 0;
        job.saveFlags = prepared.saveFlags;
        font = prepared.font;
        jobs = prepared.jobs > 0 ? prepared.jobs : jobCountFor(settings, queue);
        wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        progress.reset();
        totals.queued = static_cast<int32_t>(queue.size());
    }
    ~State()
    {
        if (wakeFd >= 0)
            ::close(wakeFd);
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
          local_(run.options.executable.empty() || run.options.namesOnly),
          namesOnly_(run.options.namesOnly), rule_(existingFilesRule(run.settings))
    {
        upcomingRandom_.push_back(run.job.randomNumber);
        cores_ = std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
        threadsPerFile_ = std::max(1, cores_ / static_cast<int>(processes_.size()));
        const char* own = std::getenv("OMP_NUM_THREADS");
        ownThreadCount_ = own && *own;
        memoryShare_ = renderMemoryShare(availableMemory(), static_cast<int>(processes_.size()));
        for (const QueuedFile& file : run.queue)
            if (auto identity = identityOf(file.path))
                inputs_.insert(*identity);
    }

    ~Conversion()
    {
        for (auto& file : inFlight_) {
            finishFlush(file);
            if (file.reply && !file.reply->temporaryPath.empty())
                ::unlink(file.reply->temporaryPath.c_str());
        }
        for (auto& process : processes_)
            stopProcess(process, false);
    }

    void run()
    {
        const size_t total = run_.queue.size();
        while (!run_.aborting) {
            // Hand out work before committing: no render process waits while
            // this one renames, dates and logs the previous output. A file
            // whose output is there to keep needs no render process at all.
            while (next_ < total && !run_.aborting && mayContinue(run_.progress)) {
                if (keptBeforeRendering(next_)) {
                    queueUnrendered(next_++);
                    continue;
                }
                startFirstRenderer();
                if (freeProcess() < 0 || renderingInFlight() >= inFlightLimit())
                    break;
                dispatch(next_++, freeProcess());
            }
            if (inFlight_.empty() || run_.aborting)
                break;
            if (inFlight_.front().reply && !flushPending(inFlight_.front()))
                commitFront();
            else
                waitForReplies();
        }
        if (run_.aborting)
            abandonFilesInHand();
        for (auto& process : processes_)
            if (!stopProcess(process, false))
                ++unhealthyExits_;
        finish();
    }

private:
    // Rendering here, one file is in hand at a time, so a stop or a pause
    // holds back the very next file.
    size_t inFlightLimit() const { return local_ ? 1 : 2 * processes_.size(); }

    size_t renderingInFlight() const
    {
        return static_cast<size_t>(std::count_if(inFlight_.begin(), inFlight_.end(),
                                                 [](const FileInFlight& file) { return !file.unrendered; }));
    }

    // Started with the first file that needs one, so a run that only keeps
    // outputs starts none.
    void startFirstRenderer()
    {
        if (rendererTried_)
            return;
        rendererTried_ = true;
        if (!local_ && !startProcess(processes_[0], run_.options.executable, runMessage_, threadsPerFile_, memoryShare_)) {
            local_ = true;  // no render process can start: render here, one file at a time
            processes_.resize(1);
        }
    }

    /// The job as it will name the queued file, `ahead` files after the oldest in flight.
    ConversionJob jobFor(size_t entryIndex, size_t ahead)
    {
        const QueuedFile& entry = run_.queue[entryIndex];
        ConversionJob job = run_.job;
        job.inputPath = entry.path;
        job.relativeSubfolder = entry.relativeSubfolder;
        job.counter = entry.fixedCounter ? entry.fixedCounter : run_.job.counter + static_cast<int32_t>(ahead);
        job.randomNumber = randomNumberAhead(ahead);
        job.frameNumber = 1;
        return job;
    }

    /// The rule for one file: a name that an input's own name gives a
    /// random number cannot be found again either.
    ExistingFiles ruleFor(const ConversionJob& job) const
    {
        if (rule_ != ExistingFiles::Replace && job.inputPath.find('%') != std::string::npos &&
            nameDependsOnRandomNumber(run_.settings.filenameMask, job))
            return ExistingFiles::Replace;
        return rule_;
    }

    /// The output path the file gets if every file before it succeeds, when
    /// it does not depend on the rendered image; any image values do then.
    std::optional<std::string> pathBeforeRendering(const ConversionJob& job) const
    {
        if (nameDependsOnImage(run_.settings.filenameMask, job))
            return std::nullopt;
        return unclaimedName(outputPathFor(job, run_.settings), &namedAhead_);
    }

    /// Decided from the file system before any render process is asked; the
    /// file's turn in the commit decides again with the names as they are
    /// then. A run that only names files renders none.
    bool keptBeforeRendering(size_t entryIndex)
    {
        nextPrediction_.reset();
        if (rule_ == ExistingFiles::Replace && !namesOnly_)
            return false;
        const ConversionJob job = jobFor(entryIndex, inFlight_.size());
        nextPrediction_ = pathBeforeRendering(job);
        return namesOnly_ || (nextPrediction_ && !namesAnInput(*nextPrediction_) &&
                              keepsExistingOutput(ruleFor(job), *nextPrediction_, job.inputPath));
    }

    void queueUnrendered(size_t entryIndex)
    {
        const QueuedFile& entry = run_.queue[entryIndex];
        // Files a killed run left in a folder go, even where nothing is written.
        if (!namesOnly_ && swept_.insert(destinationFolder(entry)).second)
            removeStaleTemporaries(destinationFolder(entry));
        size_t ahead = inFlight_.size();
        FileInFlight file;
        file.entry = entryIndex;
        file.counter = entry.fixedCounter ? entry.fixedCounter : run_.job.counter + static_cast<int32_t>(ahead);
        file.randomNumber = randomNumberAhead(ahead);
        file.unrendered = true;
        file.reply = RenderReply{};
        if (nextPrediction_) {
            file.predictedPath = *nextPrediction_;
            namedAhead_.insert(file.predictedPath);
        }
        nextPrediction_.reset();
        inFlight_.push_back(std::move(file));
        ++run_.totals.started;
        if (run_.observer.fileStarted)
            run_.observer.fileStarted(entryIndex, entry.path);
        showCurrentFile();
    }

    bool processIsFree(size_t index) const
    {
        return std::none_of(inFlight_.begin(), inFlight_.end(),
                            [index](const FileInFlight& file) { return file.process == static_cast<int>(index); });
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
        return {entry.path, entry.relativeSubfolder, destinationFolder(entry), file.counter, file.randomNumber,
                file.decodeThreads};
    }

    void send(FileInFlight& file, int processIndex)
    {
        file.decodeThreads = ownThreadCount_ || local_ ? 0 : threadsForNextDecode();
        file.process = processIndex;
        file.started = Clock::now();
        file.reply.reset();
        if (local_) {
            file.reply = renderFile(requestFor(file), run_.settings, run_.job, run_.formats,
                                    run_.font ? &*run_.font : nullptr);
            file.process = -1;
            startFlush(file);
            return;
        }
        RenderProcess& process = processes_[processIndex];
        // A process that died while idle costs no file: a fresh one takes it.
        for (int attempt = 0; attempt < 2; ++attempt) {
            if (!process.alive() &&
                !startProcess(process, run_.options.executable, runMessage_, threadsPerFile_, memoryShare_))
                break;
            if (sendMessage(process.toChild, requestMessage(requestFor(file))))
                return;
            stopProcess(process, true);
        }
        failInFlight(file, "cannot start a render process");
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
        stopProcess(process, true);
        if (pid > 0)
            removeTemporariesOf(destinationFolder(run_.queue[file.entry]), pid);
    }

    void dispatch(size_t entryIndex, int processIndex)
    {
        const QueuedFile& entry = run_.queue[entryIndex];
        std::optional<std::string> predicted = std::move(nextPrediction_);
        nextPrediction_.reset();
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
        if (predicted) {
            file.predictedPath = *predicted;
            namedAhead_.insert(file.predictedPath);
        }
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

    void failInFlight(FileInFlight& file, std::string error)
    {
        RenderReply reply;
        reply.error = std::move(error);
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
            fds.push_back({processes_[file.process].fromChild, POLLIN, 0});
            owners.push_back(file.process);
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                file.started + run_.options.fileTimeLimit - now).count();
            left = std::max<int64_t>(left, 0);
            timeoutMs = timeoutMs < 0 ? static_cast<int>(left) : std::min(timeoutMs, static_cast<int>(left));
        }
        // The oldest file has its reply, so only its flush holds it back: look
        // back soon to commit it. Asking whether the flush is still pending
        // here could see it end just now and leave nothing to wake the poll.
        if (inFlight_.front().reply)
            timeoutMs = timeoutMs < 0 ? kFlushCheckMs : std::min(timeoutMs, kFlushCheckMs);
        // A stop asked while paused or a window's abort must not wait for a decode.
        fds.push_back({run_.wakeFd, POLLIN, 0});
        int ready = ::poll(fds.data(), fds.size(), timeoutMs);
        if (ready < 0 || run_.aborting)
            return;  // interrupted or aborted: look again
        for (size_t i = 0; ready > 0 && i + 1 < fds.size(); ++i) {
            if (fds[i].revents == 0)
                continue;
            FileInFlight* file = fileOf(owners[i]);
            RenderProcess& process = processes_[owners[i]];
            RenderReply reply;
            auto message = receiveMessage(process.fromChild);
            if (message && parseReply(*message, reply)) {
                adoptRenderedFile(reply);
                file->reply = reply;
                file->process = -1;
                startFlush(*file);
            } else {
                // Crashed or spoke nonsense: this file fails, a fresh process takes the next.
                killAndClearUp(process, *file);
                failInFlight(*file, "the render process ended while converting");
            }
        }
        now = Clock::now();
        for (auto& file : inFlight_) {
            if (!file.reply && file.process >= 0 && now - file.started >= run_.options.fileTimeLimit) {
                killAndClearUp(processes_[file.process], file);
                failInFlight(file, "the file took longer than the time limit");
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

    void renderAgain(FileInFlight& file)
    {
        finishFlush(file);
        if (!file.reply->temporaryPath.empty())
            ::unlink(file.reply->temporaryPath.c_str());
        file.unrendered = false;
        startFirstRenderer();
        file.counter = run_.job.counter;
        file.randomNumber = run_.job.randomNumber;
        file.reply.reset();
        // One file per process at a time: replies are matched to files by process.
        int processIndex = freeProcess();
        while (processIndex < 0 && !run_.aborting) {
            waitForReplies();
            processIndex = freeProcess();
        }
        if (run_.aborting) {
            failInFlight(file, "the run was aborted");
            return;
        }
        send(file, processIndex);
        while (!file.reply && !run_.aborting)
            waitForReplies();
        if (!file.reply)
            failInFlight(file, "the run was aborted");
    }

    /// The name the template gives, unless an earlier file of this run
    /// already wrote or kept it (or, foreseeing, will): then the first free
    /// "_2", "_3", ... variant.
    std::string unclaimedName(const std::string& named, const std::multiset<std::string>* ahead = nullptr) const
    {
        auto taken = [&](const std::string& name) {
            return written_.count(name) != 0 || (ahead && ahead->count(name) != 0);
        };
        std::string candidate = named;
        for (int number = 2; taken(candidate); ++number)
            candidate = numberedName(named, number);
        return candidate;
    }

    bool namesAnInput(const std::string& path) const
    {
        auto identity = identityOf(path);
        return identity && inputs_.count(*identity) != 0;
    }

    /// The path an unrendered file gets at its turn, when it does not depend
    /// on the image; the job holds the counter and random number of its turn.
    std::optional<std::string> pathAtTurn(const FileInFlight& file) const
    {
        if (file.predictedPath.empty())
            return std::nullopt;
        return unclaimedName(outputPathFor(run_.job, run_.settings));
    }

    /// Whether the output at `path` stays as it is rather than being written.
    bool keeps(const std::string& path) const
    {
        return !namesAnInput(path) && keepsExistingOutput(ruleFor(run_.job), path, run_.job.inputPath);
    }

    void commitFront()
    {
        FileInFlight& file = inFlight_.front();
        // A slice of a split run numbers each file by its place in the whole queue.
        if (int32_t fixed = run_.queue[file.entry].fixedCounter)
            run_.job.counter = fixed;
        ConversionJob& job = run_.job;
        const QueuedFile& entry = run_.queue[file.entry];
        job.inputPath = entry.path;
        job.relativeSubfolder = entry.relativeSubfolder;
        job.frameNumber = 1;
        if (!file.predictedPath.empty())
            namedAhead_.erase(namedAhead_.find(file.predictedPath));
        // Kept ahead, but an earlier failure moved the numbers or the output
        // went meanwhile: it is converted after all.
        std::optional<std::string> unrenderedPath = file.unrendered ? pathAtTurn(file) : std::nullopt;
        if (file.unrendered && !namesOnly_ && !(unrenderedPath && keeps(*unrenderedPath))) {
            renderAgain(file);
            unrenderedPath.reset();
        }
        if (renderedWithStaleCounters(file))
            renderAgain(file);
        RenderReply& reply = *file.reply;
        job.sourceDepth = reply.sourceDepth;
        const int32_t runDepth = job.targetDepth;
        if (job.automaticDepth)
            job.targetDepth = reply.targetDepth;
        job.finalWidth = reply.finalWidth;
        job.finalHeight = reply.finalHeight;

        FileResult result;
        result.queueIndex = file.entry;
        result.inputPath = entry.path;
        result.relativeSubfolder = entry.relativeSubfolder;
        result.counter = job.counter;
        result.randomNumber = job.randomNumber;
        result.reason = reply.error;
        result.finalWidth = reply.finalWidth;
        result.finalHeight = reply.finalHeight;
        result.frameNumber = job.frameNumber;
        result.sourceDepth = reply.sourceDepth;
        result.targetDepth = job.targetDepth;
        if (namesOnly_) {
            // Named as the run would name it, assuming it converts.
            if (unrenderedPath) {
                result.outputPath = *unrenderedPath;
                result.skipped = keeps(*unrenderedPath);
                written_.insert(*unrenderedPath);
            } else {
                result.outputPath = destinationFolder(entry) + run_.settings.filenameMask;
            }
            result.reason.clear();
        } else if (unrenderedPath) {
            result.skipped = true;
            result.outputPath = *unrenderedPath;
            written_.insert(*unrenderedPath);
        } else if (reply.rendered) {
            TemporaryOutput temporary(reply.temporaryPath);
            reply.temporaryPath.clear();
            std::string outputPath = unclaimedName(outputPathFor(job, run_.settings));
            if (namesAnInput(outputPath)) {
                result.reason = "output would overwrite an input";
            } else if (keeps(outputPath)) {
                // Its name needed the image: only the write is saved.
                result.skipped = true;
                result.outputPath = outputPath;
                written_.insert(outputPath);
            } else {
                // Dated before the rename, so the final name never shows another date.
                applyOutputTimestamp(temporary.path(), entry.path, run_.settings);
                if (commitOutput(temporary, outputPath, result.reason)) {
                    result.converted = true;
                    result.outputPath = outputPath;
                    written_.insert(outputPath);
                }
            }
        }
        if (result.converted || result.skipped || namesOnly_) {
            result.reason.clear();
            job.outputPath = result.outputPath;
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
            if (result.reason.empty())
                result.reason = "not decodable";
        }
        if (job.automaticDepth)
            job.targetDepth = runDepth;
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
        for (auto& process : processes_) {
            pid_t pid = process.pid;
            stopProcess(process, true);
            if (pid > 0)
                for (const auto& folder : foldersInHand())
                    removeTemporariesOf(folder, pid);
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
    size_t readAheadUpTo_ = 0;               // queued files already read ahead
    std::vector<std::future<void>> readAheads_;
    std::set<FileIdentity> inputs_;          // every queued input, to never write over one
    std::set<std::string> written_;          // outputs of this run so far, written or kept
    std::multiset<std::string> namedAhead_;  // names foreseen for the files in flight
    std::optional<std::string> nextPrediction_;  // the next file's, between its decision and its dispatch
    bool namesOnly_ = false;
    ExistingFiles rule_ = ExistingFiles::Replace;
    bool rendererTried_ = false;
    std::set<std::string> swept_;            // folders cleared of stale temporary files
    int64_t lastDuration_ = 0;
    int cores_ = 1;
    int threadsPerFile_ = 1;     // each render process's default
    bool ownThreadCount_ = false;  // the user's OMP_NUM_THREADS holds for every file
    int32_t unhealthyExits_ = 0;
    int64_t memoryShare_ = 0;    // bytes each render process may decode into
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
        state_->thread = std::thread([this] { runHere(); });
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
    (void)!::write(state_->wakeFd, &one, sizeof one);
}

void BatchRun::join()
{
    if (state_->thread.joinable())
        state_->thread.join();
}

ProgressRecord& BatchRun::progress() { return state_->progress; }

RunTotals BatchRun::totals() const { return state_->totals; }

}  // namespace quill
