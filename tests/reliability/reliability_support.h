// Shared by the reliability tests: starting the real program in a process
// group of its own (so a test can signal or kill the batch together with its
// render processes), with limits and test hooks in its environment, and
// judging what a run left in its output folder.
#pragma once

#include "engine/bitmap.h"
#include "engine/io/metadata.h"
#include "support/support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

extern char** environ;

namespace quill::test {

/// How to start the program.
struct Launch {
    std::vector<std::string> arguments;
    std::vector<std::pair<std::string, std::string>> environment;  // set on top of ours
    std::string workingFolder;                                     // empty: the current one
    rlim_t fileSizeLimit = RLIM_INFINITY;                          // a write past it fails (SIGXFSZ is ignored)
    rlim_t addressSpaceLimit = RLIM_INFINITY;                      // every allocation beyond it fails
    std::optional<uid_t> user;                                     // run as this user (and its group id)
    std::string program;                                           // empty: the built program
};

struct Outcome {
    int exitCode = -1;  // 128 + signal when a signal ended it
    bool timedOut = false;
    std::chrono::milliseconds wallTime{0};
    std::string output;
    std::string errors;
};

/// A running quillmere, leader of its own process group; its render processes
/// are in the same group. Killed with the group if still running at the end.
class RunningBatch {
public:
    explicit RunningBatch(const Launch& launch) : started_(std::chrono::steady_clock::now())
    {
        std::vector<std::string> variables;
        for (char** variable = environ; *variable; ++variable) {
            std::string text = *variable;
            bool replaced = std::any_of(launch.environment.begin(), launch.environment.end(), [&](const auto& set) {
                return text.starts_with(set.first + "=");
            });
            if (!replaced)
                variables.push_back(text);
        }
        for (const auto& [name, value] : launch.environment)
            variables.push_back(name + "=" + value);
        std::vector<char*> envp, argv;
        for (auto& variable : variables)
            envp.push_back(variable.data());
        envp.push_back(nullptr);
        // Files meant to crash or hang need the program built with the test hooks.
        const bool faulty = std::any_of(launch.environment.begin(), launch.environment.end(), [](const auto& set) {
            return set.first == "QUILLMERE_CRASH_ON" || set.first == "QUILLMERE_STALL_ON";
        });
        std::string program = !launch.program.empty() ? launch.program : faulty ? QUILL_FAULTY_BINARY : QUILL_BINARY;
        std::vector<std::string> arguments = launch.arguments;
        argv.push_back(program.data());
        for (auto& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        const std::string outPath = capture_.file("stdout"), errPath = capture_.file("stderr");

        // Only async-signal-safe calls between fork and exec: the tests run threads.
        pid_ = ::fork();
        if (pid_ == 0) {
            ::setpgid(0, 0);
            int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            int in = ::open("/dev/null", O_RDONLY);
            if (out < 0 || err < 0 || in < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0 || ::dup2(in, 0) < 0)
                ::_exit(127);
            if (!launch.workingFolder.empty() && ::chdir(launch.workingFolder.c_str()) != 0)
                ::_exit(127);
            ::signal(SIGINT, SIG_DFL);
            ::signal(SIGTERM, SIG_DFL);
            sigset_t none;
            sigemptyset(&none);
            ::sigprocmask(SIG_SETMASK, &none, nullptr);
            if (launch.fileSizeLimit != RLIM_INFINITY) {
                ::signal(SIGXFSZ, SIG_IGN);
                rlimit limit{launch.fileSizeLimit, launch.fileSizeLimit};
                ::setrlimit(RLIMIT_FSIZE, &limit);
            }
            if (launch.addressSpaceLimit != RLIM_INFINITY) {
                rlimit limit{launch.addressSpaceLimit, launch.addressSpaceLimit};
                ::setrlimit(RLIMIT_AS, &limit);
            }
            if (launch.user && (::setgid(*launch.user) != 0 || ::setuid(*launch.user) != 0))
                ::_exit(127);
            ::execve(program.c_str(), argv.data(), envp.data());
            ::_exit(127);
        }
        if (pid_ > 0)
            ::setpgid(pid_, pid_);  // also here: no signal may reach the group before it exists
    }

    ~RunningBatch()
    {
        if (pid_ > 0 && !outcome_) {
            ::kill(-pid_, SIGKILL);
            int status = 0;
            ::waitpid(pid_, &status, 0);
        }
    }

    RunningBatch(const RunningBatch&) = delete;
    RunningBatch& operator=(const RunningBatch&) = delete;

    pid_t pid() const { return pid_; }

    /// As a terminal's Ctrl-C does: to the batch and its render processes.
    void signalGroup(int signal) const { ::kill(-pid_, signal); }
    void signalBatch(int signal) const { ::kill(pid_, signal); }

    bool hasEnded() { return outcome_ || reap(WNOHANG); }

    /// Waits for the end, killing the whole group after `limit`.
    const Outcome& wait(std::chrono::milliseconds limit = std::chrono::minutes(5))
    {
        auto deadline = started_ + limit;
        while (!outcome_ && !reap(WNOHANG)) {
            if (std::chrono::steady_clock::now() > deadline) {
                ::kill(-pid_, SIGKILL);
                reap(0);
                outcome_->timedOut = true;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return *outcome_;
    }

    /// Waits up to `limit` for the program to end; true when it has.
    bool waitForEnd(std::chrono::milliseconds limit)
    {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (!outcome_ && !reap(WNOHANG)) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return true;
    }

    /// Waits until the program has printed `text` (it is then past the point
    /// the text marks); false when it ended or `limit` passed first.
    bool waitForOutput(const std::string& text, std::chrono::seconds limit)
    {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (readFile(capture_.file("stdout")).find(text) == std::string::npos) {
            if (outcome_ || reap(WNOHANG) || std::chrono::steady_clock::now() > end)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return true;
    }

    /// True once no process of the group runs any more (render processes
    /// included); zombies waiting for a parent to reap them count as ended.
    bool groupIsGone() const
    {
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
            std::string stat = readFile(entry.path().string() + "/stat");
            size_t close = stat.rfind(')');
            char state = 0;
            long parent = 0, group = 0;
            if (close != std::string::npos &&
                std::sscanf(stat.c_str() + close + 1, " %c %ld %ld", &state, &parent, &group) == 3 && group == pid_ &&
                state != 'Z' && state != 'X')
                return false;
        }
        return true;
    }

private:
    bool reap(int options)
    {
        int status = 0;
        pid_t ended = ::waitpid(pid_, &status, options);
        if (ended != pid_)
            return false;
        Outcome outcome;
        outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        outcome.wallTime =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started_);
        outcome.output = readFile(capture_.file("stdout"));
        outcome.errors = readFile(capture_.file("stderr"));
        outcome_ = std::move(outcome);
        return true;
    }

    TempFolder capture_;
    std::chrono::steady_clock::time_point started_;
    pid_t pid_ = -1;
    std::optional<Outcome> outcome_;
};

inline Outcome runBatch(const Launch& launch, std::chrono::milliseconds limit = std::chrono::minutes(5))
{
    RunningBatch batch(launch);
    return batch.wait(limit);
}

/// Names in the folder (hidden ones included), sorted; empty when it is absent.
inline std::vector<std::string> namesIn(const std::string& folder)
{
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

/// The temporary files of unfinished saves are hidden; outputs are not.
inline bool isTemporaryName(const std::string& name)
{
    return name.starts_with(".");
}

inline std::vector<std::string> finalNamesIn(const std::string& folder)
{
    std::vector<std::string> names = namesIn(folder);
    std::erase_if(names, isTemporaryName);
    return names;
}

inline std::vector<std::string> temporaryNamesIn(const std::string& folder)
{
    std::vector<std::string> names = namesIn(folder);
    std::erase_if(names, [](const std::string& name) {
        return !isTemporaryName(name);
    });
    return names;
}

/// Width and height FreeImage reads from a TIFF file; nothing when it cannot.
inline std::optional<std::pair<unsigned, unsigned>> tiffSize(const std::string& path)
{
    silenceImageLibraries();
    Bitmap image(FreeImage_Load(FIF_TIFF, path.c_str(), 0));
    if (!image || FreeImage_GetWidth(image.get()) == 0 || FreeImage_GetHeight(image.get()) == 0)
        return std::nullopt;
    return std::make_pair(FreeImage_GetWidth(image.get()), FreeImage_GetHeight(image.get()));
}

/// The lines of the output that begin with `prefix`.
inline std::vector<std::string> linesStartingWith(const std::string& output, const std::string& prefix)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < output.size()) {
        size_t end = output.find('\n', start);
        if (end == std::string::npos)
            end = output.size();
        std::string line = output.substr(start, end - start);
        if (line.starts_with(prefix))
            lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

/// The two numbers of the totals line "Files converted: C of N"; nothing without one.
inline std::optional<std::pair<int, int>> totalsOf(const std::string& output)
{
    auto lines = linesStartingWith(output, "Files converted: ");
    if (lines.size() != 1)
        return std::nullopt;
    int converted = -1, queued = -1;
    if (std::sscanf(lines[0].c_str(), "Files converted: %d of %d", &converted, &queued) != 2)
        return std::nullopt;
    return std::make_pair(converted, queued);
}

/// The count of "Import complete, new files added: N", or -1.
inline int queuedCountOf(const std::string& output)
{
    auto lines = linesStartingWith(output, "Import complete, new files added: ");
    return lines.size() == 1 ? std::atoi(lines[0].c_str() + 34) : -1;
}

/// `count` generated DNGs "f00.dng", "f01.dng", ... of width by height pixels in
/// `folder` (which must exist below `temp`); the output names they will get.
inline std::vector<std::string> makeDngs(const TempFolder& temp, const std::string& folder, int count, int width,
                                         int height)
{
    std::vector<std::string> outputs;
    for (int i = 0; i < count; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "f%02d", i);
        DngOptions options;
        options.seed = static_cast<unsigned>(i + 1);
        options.exif = true;
        EXPECT_FALSE(generateDng(temp, folder + name + ".dng", width, height, options).empty());
        outputs.push_back(std::string(name) + ".tiff");
    }
    return outputs;
}

/// Every output under its final name in the folder, with its bytes.
inline std::map<std::string, std::string> outputsIn(const std::string& folder)
{
    std::map<std::string, std::string> outputs;
    for (const auto& name : finalNamesIn(folder))
        outputs[name] = readFile(folder + name);
    return outputs;
}

/// Skips the test loudly when the real RAW samples are missing.
#define QUILL_REQUIRE_RAW_FIXTURES()                                                                                   \
    do {                                                                                                               \
        if (::quill::test::fixtureFolder().empty())                                                                    \
            GTEST_SKIP() << "RAW fixtures not found at " << quill::test::fixtureSource();                              \
    } while (false)

}  // namespace quill::test
