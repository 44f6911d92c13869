// Starting a helper program of our own and talking to it over two pipes.
#pragma once

#include "platform/unique_fd.h"

#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace quill {

/// A started program, the pipe to what it reads and the pipe from what it writes.
struct ChildProcess {
    pid_t pid = -1;
    UniqueFd toChild;
    UniqueFd fromChild;

    bool alive() const { return pid > 0; }
};

/// The child's environment as "NAME=value" lines, given the descriptor
/// numbers the child will read from and write to.
using ChildEnvironment = std::function<std::vector<std::string>(int childReads, int childWrites)>;

/// This process's environment, each variable named in `replacements`
/// ("NAME=value") taking that value instead of its own.
std::vector<std::string> environmentWith(const std::vector<std::string>& replacements);

/// Starts `executable` without arguments: standard streams on /dev/null, no
/// signal blocked, killed when this process ends. Only the two pipe ends
/// meant for it stay open in it. False, with `process` empty, when it cannot start.
[[nodiscard]] bool startChildProcess(ChildProcess& process, const std::string& executable,
                                     const ChildEnvironment& environment);

/// Ends the process (at once when `kill`) and closes both pipes; false when it
/// ended abnormally: by a signal other than our own kill, or with a non-zero
/// exit code, as a sanitizer or the C library do after a memory error.
bool stopChildProcess(ChildProcess& process, bool kill);

/// The running executable (/proc/self/exe); empty when unknown.
std::string ownExecutable();

}  // namespace quill
