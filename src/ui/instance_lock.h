// One window at a time per user: an advisory lock on a file named after the
// product title in the user's runtime folder. Only window mode takes it, so
// command-line batches run whatever windows are open.
#pragma once

#include "platform/unique_fd.h"

#include <string>

namespace quill {

class InstanceLock {
public:
    /// Tries once, never waits. `folder` empty: $XDG_RUNTIME_DIR, else the
    /// system temp folder.
    explicit InstanceLock(const std::string& name, const std::string& folder = {});
    ~InstanceLock();  // releases the lock
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    bool held() const { return descriptor_.valid(); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
    UniqueFd descriptor_;
};

}  // namespace quill
