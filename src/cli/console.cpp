#include "cli/console.h"

#include "cli/terminal_text.h"

#include <cerrno>
#include <cstdio>
#include <mutex>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace quill {

namespace {

std::mutex& consoleMutex()
{
    static std::mutex mutex;
    return mutex;
}

// Puts the terminal into single-key mode for its lifetime and restores it on
// every path out.
class SingleKeyMode {
public:
    SingleKeyMode()
    {
        if (::tcgetattr(STDIN_FILENO, &saved_) != 0)
            return;
        termios raw = saved_;
        raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
        raw.c_cc[VMIN] = 1;
        raw.c_cc[VTIME] = 0;
        active_ = ::tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0;
    }
    ~SingleKeyMode()
    {
        if (active_)
            ::tcsetattr(STDIN_FILENO, TCSANOW, &saved_);
    }
    SingleKeyMode(const SingleKeyMode&) = delete;
    SingleKeyMode& operator=(const SingleKeyMode&) = delete;

private:
    termios saved_{};
    bool active_ = false;
};

}  // namespace

void printLine(std::string_view line)
{
    // A terminal takes control characters in file names as commands; files
    // and pipes get the bytes unchanged, since scripts parse them.
    static const bool toTerminal = ::isatty(STDOUT_FILENO) == 1;
    const std::string shown = toTerminal ? escapeControls(line) : std::string(line);
    std::lock_guard lock(consoleMutex());
    std::fwrite(shown.data(), 1, shown.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void setConsoleTitle(std::string_view title)
{
    if (!::isatty(STDOUT_FILENO))
        return;
    std::lock_guard lock(consoleMutex());
    // OSC 0 sets icon name and window title; BEL ends it.
    std::string sequence = "\033]0;" + std::string(title) + "\007";
    std::fwrite(sequence.data(), 1, sequence.size(), stdout);
    std::fflush(stdout);
}

void waitForKey()
{
    if (!::isatty(STDIN_FILENO))
        return;
    SingleKeyMode mode;
    char key = 0;
    // A blocking read: one key, the end of input or an error ends the wait.
    while (::read(STDIN_FILENO, &key, 1) < 0 && errno == EINTR) {}
}

}  // namespace quill
