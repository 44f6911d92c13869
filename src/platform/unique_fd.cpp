#include "platform/unique_fd.h"

#include <fcntl.h>
#include <unistd.h>

namespace quill {

void UniqueFd::reset(int fd)
{
    if (fd_ >= 0 && fd_ != fd)
        ::close(fd_);
    fd_ = fd;
}

bool UniqueFd::close()
{
    if (fd_ < 0)
        return true;
    return ::close(release()) == 0;
}

std::optional<Pipe> makePipe()
{
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        return std::nullopt;
    return Pipe{UniqueFd(ends[0]), UniqueFd(ends[1])};
}

}  // namespace quill
