// Runs on a terminal: the title escape and the pause that waits for one key.
#include "cli_helpers.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quill::test {
namespace {

/// The program running with a pseudo-terminal as its input and output.
class TerminalRun {
public:
    explicit TerminalRun(const std::vector<std::string>& arguments)
    {
        pid_ = ::forkpty(&terminal_, nullptr, nullptr, nullptr);
        if (pid_ == 0) {
            std::vector<char*> argv{const_cast<char*>(QUILL_BINARY)};
            for (const std::string& argument : arguments)
                argv.push_back(const_cast<char*>(argument.c_str()));
            argv.push_back(nullptr);
            ::execv(QUILL_BINARY, argv.data());
            ::_exit(127);
        }
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
    EXPECT_EQ(run.readUntil("1.0\r\n", 1s), "\033]0;Varnetta Quillmere 1.0\007" "1.0\r\n");
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

}  // namespace
}  // namespace quill::test
