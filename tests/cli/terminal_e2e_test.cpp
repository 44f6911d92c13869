// Runs on a terminal: the title escape, the pause that waits for one key, and
// the progress line rewritten in place.
#include "cli_helpers.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <regex>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quill::test {
namespace {

namespace fs = std::filesystem;

/// In a forked child: becomes the program with these arguments.
[[noreturn]] void execProgram(const std::vector<std::string>& arguments)
{
    std::vector<char*> argv{const_cast<char*>(QUILL_BINARY)};
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    ::execv(QUILL_BINARY, argv.data());
    ::_exit(127);
}

/// The program running with a pseudo-terminal as its input and output.
class TerminalRun {
public:
    explicit TerminalRun(const std::vector<std::string>& arguments)
    {
        pid_ = ::forkpty(&terminal_, nullptr, nullptr, nullptr);
        if (pid_ == 0)
            execProgram(arguments);
    }
    ~TerminalRun()
    {
        if (pid_ > 0 && !exited_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (terminal_ >= 0)
            ::close(terminal_);
    }
    TerminalRun(const TerminalRun&) = delete;
    TerminalRun& operator=(const TerminalRun&) = delete;

    bool started() const { return pid_ > 0 && terminal_ >= 0; }

    /// Reads what the program wrote until `expected` has arrived or the time is up.
    std::string readUntil(const std::string& expected, std::chrono::milliseconds limit)
    {
        auto end = std::chrono::steady_clock::now() + limit;
        while (output_.find(expected) == std::string::npos && std::chrono::steady_clock::now() < end) {
            pollfd request{terminal_, POLLIN, 0};
            if (::poll(&request, 1, 50) <= 0)
                continue;
            char buffer[1024];
            ssize_t n = ::read(terminal_, buffer, sizeof buffer);
            if (n <= 0)
                break;
            output_.append(buffer, static_cast<size_t>(n));
        }
        return output_;
    }

    void type(const std::string& keys) { (void)!::write(terminal_, keys.data(), keys.size()); }

    /// The exit code once the program ended within the limit; -1 while it runs.
    int exitCodeWithin(std::chrono::milliseconds limit)
    {
        auto end = std::chrono::steady_clock::now() + limit;
        do {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                exited_ = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            readUntil("\x01never", std::chrono::milliseconds(20));  // keep the terminal drained
        } while (std::chrono::steady_clock::now() < end);
        return -1;
    }

private:
    int terminal_ = -1;
    pid_t pid_ = -1;
    bool exited_ = false;
    std::string output_;
};

using namespace std::chrono_literals;

TEST(Terminal, TheTitleIsSetByAnEscapeBeforeTheFirstLine)
{
    TerminalRun run({"--version"});
    ASSERT_TRUE(run.started());
    EXPECT_EQ(run.exitCodeWithin(5s), 0);
    // The terminal turns each line feed into CR LF.
    EXPECT_EQ(run.readUntil("1.0\r\n", 1s), "\033]0;Varnetta Quillmere 1.0\007"
                                            "1.0\r\n");
}

TEST(Terminal, PauseWaitsForOneKey)
{
    TerminalRun run({"-p", "-i"});
    ASSERT_TRUE(run.started());
    std::string line = "Error: Incorrect number of parameters\r\n";
    EXPECT_NE(run.readUntil(line, 5s).find(line), std::string::npos);
    EXPECT_EQ(run.exitCodeWithin(500ms), -1) << "ended without a key";
    run.type("x");
    EXPECT_EQ(run.exitCodeWithin(5s), 1);
}

TEST(Terminal, PauseAfterABatchPromptsFirst)
{
    RunFolder folder;
    TerminalRun run({"--pause", "-q", "-i", folder.in()});
    ASSERT_TRUE(run.started());
    std::string prompt = "Press any key to exit.\r\n";
    EXPECT_NE(run.readUntil(prompt, 5s).find(prompt), std::string::npos);
    EXPECT_EQ(run.exitCodeWithin(300ms), -1);
    run.type(" ");
    EXPECT_EQ(run.exitCodeWithin(5s), 2);
}

// What the program itself sends: the title, and the progress line's return and erase.
std::string withoutOwnSequences(std::string output)
{
    for (const char* own : {"\033]0;Varnetta Quillmere 1.0\007", "\r\033[K"})
        for (size_t at; (at = output.find(own)) != std::string::npos;)
            output.erase(at, std::strlen(own));
    return output;
}

TEST(Terminal, AFileNameCannotSendEscapesToTheTerminal)
{
    RunFolder folder;
    const std::string name = "b\033]0;TITLE\a\033[31mRED.dng";
    ASSERT_TRUE(makeDng(dngArguments(folder.in() + name, 64, 48)));
    const std::vector<std::string> runs[] = {
        {"-d", "-i", folder.in(), "-o", folder.out()},  // the name in printed lines
        {"-i", folder.in(), "-o", folder.out()},        // the name in the progress line
    };
    for (const auto& arguments : runs) {
        TerminalRun run(arguments);
        ASSERT_TRUE(run.started());
        EXPECT_EQ(run.exitCodeWithin(60s), 0) << ::testing::PrintToString(arguments);
        std::string output = withoutOwnSequences(run.readUntil("\x01never", 100ms));
        EXPECT_EQ(output.find_first_of("\033\a"), std::string::npos) << output;
        if (arguments[0] == "-d") {
            EXPECT_NE(output.find("b\\e]0;TITLE\\x07\\e[31mRED.dng"), std::string::npos) << output;
        }
    }
}

// ---------------------------------------------------------------------------
// The progress line

/// The program on a pseudo-terminal of `columns` columns, everything it wrote
/// until it ended (the terminal's CR LF turned back into LF).
RunResult runOnTerminal(const std::vector<std::string>& arguments, const std::string& workingFolder,
                        unsigned short columns = 200)
{
    RunResult result;
    winsize size{};
    size.ws_row = 40;
    size.ws_col = columns;
    int terminal = -1;
    pid_t pid = ::forkpty(&terminal, nullptr, nullptr, &size);
    if (pid == 0) {
        if (::chdir(workingFolder.c_str()) != 0)
            ::_exit(127);
        execProgram(arguments);
    }
    if (pid < 0)
        return result;
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (std::chrono::steady_clock::now() < end) {
        pollfd request{terminal, POLLIN, 0};
        if (::poll(&request, 1, 100) <= 0)
            continue;
        char buffer[4096];
        ssize_t n = ::read(terminal, buffer, sizeof buffer);
        if (n <= 0)
            break;  // the program closed the terminal: it ended
        result.output.append(buffer, static_cast<size_t>(n));
    }
    int status = 0;
    if (::waitpid(pid, &status, WNOHANG) != pid) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
    }
    ::close(terminal);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.output = replaced(result.output, "\r\n", "\n");
    return result;
}

const std::string kRewrite = "\r\033[K";

/// The output with every progress line taken out, and those lines.
std::pair<std::string, std::vector<std::string>> withoutProgress(const std::string& output)
{
    std::string rest;
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < output.size()) {
        size_t rewrite = output.find(kRewrite, at);
        if (rewrite == std::string::npos) {
            rest += output.substr(at);
            break;
        }
        rest += output.substr(at, rewrite - at);
        size_t start = rewrite + kRewrite.size();
        size_t stop = output.find_first_of("\r\n", start);
        if (stop == std::string::npos)
            stop = output.size();
        if (stop < output.size() && output[stop] == '\n') {
            at = start;  // the line was wiped, and a printed line follows
            continue;
        }
        if (stop > start)
            lines.push_back(output.substr(start, stop - start));
        at = stop;
    }
    return {rest, lines};
}

TEST(ProgressLine, ATerminalSeesOneLineRewrittenAndTheTotalsOnACleanRow)
{
    Inputs inputs;
    for (int i = 1; i <= 4; ++i)
        inputs.add("picture-" + std::to_string(i) + ".dng", 1200, 800, {.seed = static_cast<unsigned>(i)});
    fs::create_directories(inputs.folder.file("out"));
    std::vector<std::string> arguments = {"-i", "in", "-o", "out", "--raw-load-as=48"};
    RunResult shown = runOnTerminal(arguments, inputs.folder.path());
    EXPECT_EQ(shown.exitCode, 0) << shown.output;

    auto [rest, progress] = withoutProgress(shown.output);
    ASSERT_FALSE(progress.empty()) << shown.output;
    std::regex form(R"((\d)/4(  picture-\d\.dng)?  elapsed \d+:\d\d(  left \d+:\d\d)?)");
    int previous = 0;
    for (const std::string& line : progress) {
        std::smatch parts;
        ASSERT_TRUE(std::regex_match(line, parts, form)) << "\"" << line << "\"";
        EXPECT_GE(std::stoi(parts[1]), previous) << "the count went back";
        previous = std::stoi(parts[1]);
    }
    // The line is wiped before the totals, which start a row of their own.
    std::string totals = kRewrite + "Conversion complete\nFiles converted: 4 of 4\n";
    EXPECT_TRUE(shown.output.ends_with(totals)) << shown.output;

    // Without it, exactly what a pipe gets (after the terminal's title escape).
    fs::remove_all(inputs.folder.file("out"));
    fs::create_directories(inputs.folder.file("out"));
    RunResult piped = runQuillmere(arguments, inputs.folder.path());
    EXPECT_EQ(piped.exitCode, 0);
    std::string title = "\033]0;Varnetta Quillmere 1.0\007";
    ASSERT_TRUE(rest.starts_with(title)) << rest;
    EXPECT_EQ(rest.substr(title.size()), piped.output);
}

TEST(ProgressLine, PipesQuietAndDebugRunsShowNone)
{
    Inputs inputs;
    inputs.add("a.dng", 300, 200);
    inputs.add("b.dng", 300, 200, {.seed = 2});
    struct Case {
        std::vector<std::string> options;
        bool terminal;
    };
    const std::vector<Case> cases = {
        {{}, false}, {{"--jobs=2"}, false}, {{"-q"}, true}, {{"-d"}, true}, {{"-d", "--jobs=1"}, false}};
    for (const Case& c : cases) {
        std::string label = (c.terminal ? "terminal" : "pipe");
        for (const std::string& option : c.options)
            label += " " + option;
        SCOPED_TRACE(label);
        fs::remove_all(inputs.folder.file("out"));
        fs::create_directories(inputs.folder.file("out"));
        std::vector<std::string> arguments = {"-i", "in", "-o", "out"};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        RunResult result =
            c.terminal ? runOnTerminal(arguments, inputs.folder.path()) : runQuillmere(arguments, inputs.folder.path());
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_EQ(result.output.find('\r'), std::string::npos) << result.output;
        EXPECT_EQ(result.output.find("\033["), std::string::npos) << result.output;
        if (c.options.empty()) {
            EXPECT_EQ(linesOf(result.output),
                      withBanner({"Preparing...", "Importing...", "Import complete, new files added: 2",
                                  "Converting...", "Conversion complete", "Files converted: 2 of 2"}));
        }
    }
}

TEST(ProgressLine, ALongFileNameIsCutToTheTerminalsWidth)
{
    // A line wider than the terminal wraps, and the next rewrite would only
    // clear its last row.
    Inputs inputs;
    std::string longName = std::string(70, 'x') + "-picture.dng";
    inputs.add(longName, 2400, 1600);
    inputs.add("z.dng", 2400, 1600, {.seed = 2});
    fs::create_directories(inputs.folder.file("out"));
    RunResult shown = runOnTerminal({"-i", "in", "-o", "out", "--raw-load-as=48"}, inputs.folder.path(), 60);
    EXPECT_EQ(shown.exitCode, 0);
    auto [rest, progress] = withoutProgress(shown.output);
    ASSERT_FALSE(progress.empty());
    bool named = false;
    for (const std::string& line : progress) {
        EXPECT_LT(line.size(), 60u) << "\"" << line << "\"";
        named = named || line.find("xxx-picture.dng  elapsed") != std::string::npos;
    }
    EXPECT_TRUE(named) << "the end of the long name was never shown: " << shown.output;
}

}  // namespace
}  // namespace quill::test
