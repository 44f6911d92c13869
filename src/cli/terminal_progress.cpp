#include "cli/terminal_progress.h"

#include <cstdio>
#include <mutex>
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

std::string fileNameOf(const std::string& path)
{
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::string progressLine(int32_t done, int32_t total, const std::string& currentFile,
                         std::chrono::milliseconds elapsed)
{
    std::string line = std::to_string(done) + "/" + std::to_string(total);
    if (!currentFile.empty())
        line += "  " + fileNameOf(currentFile);
    line += "  elapsed " + clockText(elapsed);
    if (done > 0 && done < total) {
        auto left = elapsed * (total - done) / done;
        line += "  left " + clockText(std::chrono::duration_cast<std::chrono::milliseconds>(left));
    }
    return line;
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
    std::string line = "\r\033[K" + progressLine(done, total, current, elapsed);
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
}

void clearProgressLine()
{
    std::fputs("\r\033[K", stdout);
    std::fflush(stdout);
}

}  // namespace quill
