#include "cli/thumbnail.h"

#include "cli/batch.h"
#include "engine/io/memory_share.h"
#include "engine/io/thumbnail.h"
#include "platform/memory_limit.h"
#include "platform/paths.h"
#include "platform/unique_fd.h"

#include <cerrno>
#include <charconv>
#include <csignal>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quill {

namespace {

// File managers ask for 128 to 1024; beyond this it is no thumbnail.
constexpr int kLargestThumbnail = 4096;
// A decoder stuck in a hostile file is ended after this long.
constexpr unsigned kThumbnailSeconds = 30;

bool readSize(const std::string& text, int& size)
{
    const char* end = text.data() + text.size();
    auto [at, error] = std::from_chars(text.data(), end, size);
    return error == std::errc() && at == end && size > 0 && size <= kLargestThumbnail;
}

// In the render process: no word on any output, a decode that fits the
// machine's memory, and an end when the caller or the time limit goes.
[[noreturn]] void renderThumbnail(const std::string& input, int size, const std::string& temporary)
{
    const int quiet = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (quiet >= 0) {
        ::dup2(quiet, STDOUT_FILENO);
        ::dup2(quiet, STDERR_FILENO);
    }
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    ::alarm(kThumbnailSeconds);
    setDecodeMemoryShare(availableMemory());  // the one decode may take what is free
    ::_exit(writeThumbnail(input, size, temporary) ? 0 : 1);
}

}  // namespace

int runThumbnailMode(const ArgumentList& arguments)
{
    int size = 0;
    if (arguments.size() != 3 || !readSize(optionValue(arguments, 0), size))
        return kExitError;
    const std::string& input = arguments[1];
    const std::string& output = arguments[2];
    if (input.empty() || output.empty())
        return kExitError;
    // Written under a hidden name beside OUTPUT and renamed over it when
    // whole, so a file manager never reads half a thumbnail.
    std::string temporary = folderPart(output) + "." + fileNamePart(output) + ".tmp-XXXXXX";
    // Only the name is kept: the render process writes the file by it.
    if (!UniqueFd(::mkostemp(temporary.data(), O_CLOEXEC)))
        return kExitError;
    const pid_t child = ::fork();
    if (child == 0)
        renderThumbnail(input, size, temporary);
    int status = 0;
    bool written = false;
    if (child > 0) {
        pid_t ended = -1;
        do
            ended = ::waitpid(child, &status, 0);
        while (ended < 0 && errno == EINTR);
        written = ended == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    if (written && ::rename(temporary.c_str(), output.c_str()) == 0)
        return kExitSuccess;
    ::unlink(temporary.c_str());
    return kExitError;
}

}  // namespace quill
