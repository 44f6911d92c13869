// Telling whether a process that named a file is still the same process: a
// process id alone is reused, the id with the process's start time is not.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>

namespace quill {

/// When the process started, in clock ticks after boot (/proc/<pid>/stat,
/// field 22); nothing when the process cannot be seen.
std::optional<uint64_t> processStartTime(pid_t pid);

/// This process's start time; 0 when /proc cannot tell it.
uint64_t ownStartTime();

/// True only when the process that had this id and start time has provably
/// ended: no process has the id, or the one that has it started at another
/// time. A process that cannot be looked at counts as running.
bool processHasEnded(pid_t pid, uint64_t startTime);

/// Eight hexadecimal digits naming this boot of this machine and this space
/// of process ids. Process ids and start times mean something only where the
/// tag is the same (not in another container, on another machine sharing the
/// folder, or after a restart); empty when the system cannot tell.
const std::string& processSpaceTag();

}  // namespace quill
