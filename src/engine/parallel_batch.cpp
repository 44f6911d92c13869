#include "engine/parallel_batch.h"

#include "engine/identify.h"
#include "engine/render_service.h"
#include "engine/save.h"
#include "engine/worker.h"
#include "inputs/worker_pause.h"
#include "platform/paths.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <future>
#include <optional>
#include <poll.h>
#include <spawn.h>
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

// Ends the process at once; used for crashes, hangs and the end of the batch.
void stopProcess(RenderProcess& process, bool kill)
{
    closeFd(process.toChild);  // end of input lets a healthy process leave by itself
    if (process.alive()) {
        if (kill)
            ::kill(process.pid, SIGKILL);
        int status = 0;
        ::waitpid(process.pid, &status, 0);
    }
    closeFd(process.fromChild);
    process.pid = -1;
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

std::vector<std::string> childEnvironment(int requestFd, int replyFd, int threadsPerFile)
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
    return variables;
}

bool startProcess(RenderProcess& process, const std::string& executable, const Message& run,
                  int threadsPerFile)
{
    int requests[2], replies[2];
    if (::pipe2(requests, O_CLOEXEC) != 0)
        return false;
    if (::pipe2(replies, O_CLOEXEC) != 0) {
        ::close(requests[0]);
        ::close(requests[1]);
        return false;
    }
    // The child keeps its two ends (a dup2 onto itself clears close-on-exec);
    // every other descriptor of this process closes on exec.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, requests[0], requests[0]);
    posix_spawn_file_actions_adddup2(&actions, replies[1], replies[1]);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    auto variables = childEnvironment(requests[0], replies[1], threadsPerFile);
    std::vector<char*> envp;
    for (auto& variable : variables)
        envp.push_back(variable.data());
    envp.push_back(nullptr);
    std::string name = executable;
    char* argv[] = {name.data(), nullptr};
    pid_t pid = -1;
    int failed = ::posix_spawn(&pid, executable.c_str(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(requests[0]);
    ::close(replies[1]);
    process = {failed == 0 ? pid : -1, requests[1], replies[0]};
    if (failed != 0 || !sendMessage(process.toChild, run)) {
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
    if (settings.doWatermark != 1)
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

class ParallelRun {
public:
    ParallelRun(ConversionContext& context, const BatchOptions& options)
        : context_(context), options_(options), processes_(std::max(1, options.jobs)),
          runMessage_(runMessage(context.settings, context.job, context.watermarkFont))
    {
        upcomingRandom_.push_back(context.job.randomNumber);
        cores_ = std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
        threadsPerFile_ = std::max(1, cores_ / static_cast<int>(processes_.size()));
        const char* own = std::getenv("OMP_NUM_THREADS");
        ownThreadCount_ = own && *own;
    }

    ~ParallelRun()
    {
        for (auto& file : inFlight_) {
            finishFlush(file);
            if (file.reply && !file.reply->temporaryPath.empty())
                ::unlink(file.reply->temporaryPath.c_str());
        }
        for (auto& process : processes_)
            stopProcess(process, false);
    }

    bool canStart()
    {
        return startProcess(processes_[0], options_.executable, runMessage_, threadsPerFile_);
    }

    void run()
    {
        const auto& entries = context_.inputs.entries;
        while (true) {
            // Hand out work before committing: no render process waits while
            // this one renames, dates and logs the previous output.
            while (next_ < entries.size() && freeProcess() >= 0 && inFlight_.size() < 2 * processes_.size() &&
                   mayContinue(context_.progress))
                dispatch(next_++, freeProcess());
            if (inFlight_.empty())
                break;
            if (inFlight_.front().reply && !flushPending(inFlight_.front()))
                commitFront();
            else
                waitForReplies();
        }
        std::lock_guard lock(context_.progress.mutex);
        context_.progress.converted = converted_;
    }

private:
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

    void send(FileInFlight& file, int processIndex)
    {
        RenderProcess& process = processes_[processIndex];
        const InputEntry& entry = context_.inputs.entries[file.entry];
        file.decodeThreads = ownThreadCount_ ? 0 : threadsForNextDecode();
        RenderRequest request{entry.path, entry.relativeSubfolder, destinationFolder(entry), file.counter,
                              file.randomNumber, file.decodeThreads};
        file.process = processIndex;
        file.started = Clock::now();
        file.reply.reset();
        // A process that died while idle costs no file: a fresh one takes it.
        for (int attempt = 0; attempt < 2; ++attempt) {
            if (!process.alive() && !startProcess(process, options_.executable, runMessage_, threadsPerFile_))
                break;
            if (sendMessage(process.toChild, requestMessage(request)))
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
        size_t filesLeft = 1 + (context_.inputs.entries.size() - std::min(next_, context_.inputs.entries.size()));
        return decodeThreadsForNextFile(cores_, busyThreads, freeProcesses, filesLeft);
    }

    void dispatch(size_t entryIndex, int processIndex)
    {
        const InputEntry& entry = context_.inputs.entries[entryIndex];
        if (context_.settings.keepSubfolders &&
            !isDirectory(withTrailingSlash(context_.job.outputFolder) + entry.relativeSubfolder))
            createSubfolders(context_.job.outputFolder, entry.relativeSubfolder);
        // Token values as they will be if every file before this one succeeds.
        size_t ahead = inFlight_.size();
        FileInFlight file;
        file.entry = entryIndex;
        file.counter = context_.job.counter + static_cast<int32_t>(ahead);
        file.randomNumber = randomNumberAhead(ahead);
        inFlight_.push_back(std::move(file));
        showCurrentFile();
        send(inFlight_.back(), processIndex);
        readAheadOfDispatch();
    }

    // The files the next free render processes will take; in the background,
    // since asking the disk can itself wait behind the flushes.
    void readAheadOfDispatch()
    {
        const auto& entries = context_.inputs.entries;
        std::erase_if(readAheads_, [](const std::future<void>& done) {
            return done.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
        });
        readAheadUpTo_ = std::max(readAheadUpTo_, next_);
        for (; readAheadUpTo_ < std::min(entries.size(), next_ + processes_.size()); ++readAheadUpTo_)
            readAheads_.push_back(std::async(std::launch::async, readAhead, entries[readAheadUpTo_].path));
    }

    // The current file is the oldest one in flight: the one the count waits for.
    void showCurrentFile()
    {
        if (inFlight_.empty())
            return;
        size_t entryIndex = inFlight_.front().entry;
        std::lock_guard lock(context_.progress.mutex);
        context_.progress.fileIndex = static_cast<int32_t>(entryIndex + 1);
        context_.progress.currentFile = context_.inputs.entries[entryIndex].path;
        context_.progress.lastDuration = lastDuration_;
    }

    std::string destinationFolder(const InputEntry& entry) const
    {
        std::string folder = withTrailingSlash(context_.job.outputFolder);
        return context_.settings.keepSubfolders ? folder + entry.relativeSubfolder : folder;
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
                file.started + options_.fileTimeLimit - now).count();
            left = std::max<int64_t>(left, 0);
            timeoutMs = timeoutMs < 0 ? static_cast<int>(left) : std::min(timeoutMs, static_cast<int>(left));
        }
        // While the oldest file is flushing, look back soon to commit it.
        if (flushPending(inFlight_.front()))
            timeoutMs = timeoutMs < 0 ? kFlushCheckMs : std::min(timeoutMs, kFlushCheckMs);
        if (fds.empty()) {
            if (timeoutMs >= 0)
                ::poll(nullptr, 0, timeoutMs);
            return;
        }
        int ready = ::poll(fds.data(), fds.size(), timeoutMs);
        if (ready < 0)
            return;  // interrupted: look again
        for (size_t i = 0; i < fds.size(); ++i) {
            if (fds[i].revents == 0)
                continue;
            FileInFlight* file = fileOf(owners[i]);
            RenderProcess& process = processes_[owners[i]];
            RenderReply reply;
            auto message = receiveMessage(process.fromChild);
            if (message && parseReply(*message, reply)) {
                file->reply = reply;
                file->process = -1;
                startFlush(*file);
            } else {
                // Crashed or spoke nonsense: this file fails, a fresh process takes the next.
                stopProcess(process, true);
                failInFlight(*file, "the render process ended while converting");
            }
        }
        now = Clock::now();
        for (auto& file : inFlight_) {
            if (!file.reply && file.process >= 0 && now - file.started >= options_.fileTimeLimit) {
                stopProcess(processes_[file.process], true);
                failInFlight(file, "the file took longer than the time limit");
            }
        }
    }

    // A text watermark showing %n% or %rnd% was drawn with the values the file
    // would get if every earlier file succeeded; after a failure, draw it again.
    bool renderedWithStaleCounters(const FileInFlight& file) const
    {
        return watermarkShowsCounters(context_.settings) && file.reply->rendered &&
               (file.counter != context_.job.counter || file.randomNumber != context_.job.randomNumber);
    }

    void renderAgain(FileInFlight& file)
    {
        finishFlush(file);
        ::unlink(file.reply->temporaryPath.c_str());
        file.counter = context_.job.counter;
        file.randomNumber = context_.job.randomNumber;
        file.reply.reset();
        // One file per process at a time: replies are matched to files by process.
        int processIndex = freeProcess();
        while (processIndex < 0) {
            waitForReplies();
            processIndex = freeProcess();
        }
        send(file, processIndex);
        while (!file.reply)
            waitForReplies();
    }

    void commitFront()
    {
        FileInFlight& file = inFlight_.front();
        if (renderedWithStaleCounters(file))
            renderAgain(file);
        ConversionJob& job = context_.job;
        const InputEntry& entry = context_.inputs.entries[file.entry];
        job.inputPath = entry.path;
        job.relativeSubfolder = entry.relativeSubfolder;
        RenderReply& reply = *file.reply;
        job.sourceDepth = reply.sourceDepth;
        if (job.automaticDepth)
            job.targetDepth = reply.targetDepth;
        job.finalWidth = reply.finalWidth;
        job.finalHeight = reply.finalHeight;
        job.frameNumber = 1;
        bool ok = false;
        if (reply.rendered) {
            job.outputPath = outputPathFor(job, context_.settings);
            TemporaryOutput temporary(reply.temporaryPath);
            reply.temporaryPath.clear();
            std::string error;
            ok = commitOutput(temporary, job.outputPath, error);
        }
        log("Processing: " + job.inputPath);
        log("File Format: " + identifyFileType(job.inputPath));
        if (ok) {
            log("[OK] Saving As: " + job.outputPath);
            ++converted_;
            auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - file.started);
            lastDuration_ = std::max<int64_t>(elapsed.count(), 1000) / static_cast<int64_t>(processes_.size());
            upcomingRandom_.pop_front();
            job.randomNumber = randomNumberAhead(0);
            ++job.counter;
            applyOutputTimestamp(job.outputPath, job.inputPath, context_.settings);
        } else {
            lastDuration_ = 0;
            log("[ERROR] Unable to convert the file!");
        }
        inFlight_.pop_front();
        {
            std::lock_guard lock(context_.progress.mutex);
            ++context_.progress.finished;
        }
        showCurrentFile();
    }

    void log(const std::string& line)
    {
        if (context_.log)
            context_.log(line);
    }

    ConversionContext& context_;
    const BatchOptions& options_;
    std::vector<RenderProcess> processes_;
    Message runMessage_;
    std::deque<FileInFlight> inFlight_;
    std::deque<int32_t> upcomingRandom_;  // front: the random number of the next success
    size_t next_ = 0;
    size_t readAheadUpTo_ = 0;               // queued files already read ahead
    std::vector<std::future<void>> readAheads_;
    int32_t converted_ = 0;
    int64_t lastDuration_ = 0;
    int cores_ = 1;
    int threadsPerFile_ = 1;     // each render process's default
    bool ownThreadCount_ = false;  // the user's OMP_NUM_THREADS holds for every file
};

int64_t availableMemory()
{
    std::ifstream meminfo("/proc/meminfo");
    std::string key;
    int64_t kilobytes = 0;
    std::string unit;
    while (meminfo >> key >> kilobytes >> unit)
        if (key == "MemAvailable:")
            return kilobytes * 1024;
    return 0;
}

}  // namespace

int decodeThreadsForNextFile(int cores, int busyThreads, int freeProcesses, size_t filesLeft)
{
    int startingNow = static_cast<int>(std::min<size_t>(std::max(1, freeProcesses), std::max<size_t>(1, filesLeft)));
    return std::max(1, (cores - busyThreads) / startingNow);
}

int64_t decodeMemoryEstimate(const std::string& path, const Settings& settings)
{
    // Judged from the file's length, not its header: the batch process never
    // parses a camera file itself, so a file that crashes a parser can only
    // ever cost its own render process. Camera files hold about one byte per
    // pixel (16-bit samples uncompressed, 8 to 14 bits losslessly packed).
    std::error_code error;
    auto bytes = static_cast<int64_t>(std::filesystem::file_size(path, error));
    if (error)
        return 0;
    int64_t pixels = bytes;
    if (settings.rawLoadAs == 4)
        pixels /= 4;  // the half-size decode
    // The decoder's four 16-bit channels, FreeImage's 48-bit copy and the
    // converted output.
    return pixels * 24 + (32 << 20);
}

int effectiveJobCount(int requested, const InputList& inputs, const Settings& settings)
{
    return effectiveJobCount(requested, inputs, settings, static_cast<int>(std::thread::hardware_concurrency()),
                             availableMemory());
}

int effectiveJobCount(int requested, const InputList& inputs, const Settings& settings, int cores,
                      int64_t freeMemory)
{
    if (requested > 0)
        return requested;
    int64_t largest = 0;
    for (const auto& entry : inputs.entries)
        largest = std::max(largest, decodeMemoryEstimate(entry.path, settings));
    int64_t budget = freeMemory / 2;
    int jobs = std::min<int>(std::max(1, cores), std::max<size_t>(1, inputs.size()));
    while (jobs > 1 && largest > 0 && budget > 0 && jobs * largest > budget)
        --jobs;
    return std::max(1, jobs);
}

void runParallelConversion(ConversionContext& context, const BatchOptions& options)
{
    ParallelRun run(context, options);
    if (options.executable.empty() || !run.canStart()) {
        runConversionWorker(context);
        return;
    }
    run.run();
}

}  // namespace quill
