#include "ui/instance_lock.h"

#include "platform/paths.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace quill {
namespace {

std::string lockFolder()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && *runtime != '\0' && isDirectory(runtime))
        return runtime;
    std::error_code error;
    const std::string temp = std::filesystem::temp_directory_path(error).string();
    return error ? std::string("/tmp") : temp;
}

}  // namespace

InstanceLock::InstanceLock(const std::string& name, const std::string& folder)
    : path_(withTrailingSlash(folder.empty() ? lockFolder() : folder) + name + ".lock")
{
    // The lock belongs to the open file, so a crashed window never leaves a
    // stale lock behind; the file itself may stay.
    descriptor_.reset(::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (!descriptor_)
        return;
    if (::flock(descriptor_.get(), LOCK_EX | LOCK_NB) != 0)
        descriptor_.reset();
}

InstanceLock::~InstanceLock()
{
    if (descriptor_)
        ::flock(descriptor_.get(), LOCK_UN);
}

}  // namespace quill
