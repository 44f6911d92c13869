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
    descriptor_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (descriptor_ < 0)
        return;
    if (::flock(descriptor_, LOCK_EX | LOCK_NB) != 0) {
        ::close(descriptor_);
        descriptor_ = -1;
    }
}

InstanceLock::~InstanceLock()
{
    if (descriptor_ >= 0) {
        ::flock(descriptor_, LOCK_UN);
        ::close(descriptor_);
    }
}

}  // namespace quill
