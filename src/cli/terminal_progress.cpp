#include "cli/terminal_progress.h"

#include "cli/terminal_text.h"
#include "platform/paths.h"

#include <cstdio>
#include <mutex>
#include <sys/ioctl.h>
#include <unistd.h>

namespace quill {

namespace {

std::string clockText(std::chrono::milliseconds duration)
{
    long long seconds = duration.count() / 1000;
    char text[32];
    if (seconds >= 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60, seconds % 60);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", seconds / 60, seconds % 60);
    return text;
}

// Columns of the terminal on standard output; 0 when unknown.
size_t terminalColumns()
{
    winsize size{};
    return ::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 ? size.ws_col : 0;
}

}  // namespace

std::string progressLine(int32_t done, int32_t total, const std::string& currentFile, std::chrono::milliseconds elapsed,
                         size_t columns)
{
    std::string counts = std::to_string(done) + "/" + std::to_string(total);
    std::string times = "  elapsed " + clockText(elapsed);
    if (done > 0 && done < total) {
        auto left = elapsed * (total - done) / done;
        times += "  left " + clockText(std::chrono::duration_cast<std::chrono::milliseconds>(left));
    }
    // A line feed or an escape in the name would scroll or command the
    // terminal at every redraw.
    std::string name = escapeControls(fileNamePart(currentFile));
    // A line as wide as the terminal wraps, and the next "\r" returns to its
    // last row only: the name gives way, keeping its end, and goes entirely
    // when even that does not fit. Widths are columns: a CJK character takes two.
    if (columns > 0 && !name.empty()) {
        size_t fixed = counts.size() + times.size() + 2;
        size_t room = columns > fixed + 1 ? columns - fixed - 1 : 0;
        if (displayWidth(name) > room)
            name = room > 4 ? "..." + lastColumns(name, room - 3) : std::string();
    }
    return name.empty() ? counts + times : counts + "  " + name + times;
}

bool progressLineWanted()
{
    return ::isatty(STDOUT_FILENO) == 1;
}

void showProgressLine(ProgressRecord& progress, int32_t total, std::chrono::milliseconds elapsed)
{
    int32_t done = 0;
    std::string current;
    {
        std::lock_guard lock(progress.mutex);
        done = progress.finished;
        current = progress.currentFile;
    }
    std::string line = "\r\033[K" + progressLine(done, total, current, elapsed, terminalColumns());
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
}

void clearProgressLine()
{
    std::fputs("\r\033[K", stdout);
    std::fflush(stdout);
}

}  // namespace quill
