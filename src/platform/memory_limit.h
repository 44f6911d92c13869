// The memory a process may take: a hard limit set on itself, and what the
// machine has free to divide between processes.
#pragma once

#include <cstdint>

namespace quill {

/// Caps the process's data memory (heap and private writable mappings) at
/// `bytes`: every allocation past it fails instead of letting the kernel kill
/// a process on a full machine. 0 or less lifts the cap. False when the
/// system refuses the limit.
[[nodiscard]] bool limitProcessMemory(int64_t bytes);

/// The memory the kernel reckons can be taken without swapping
/// (MemAvailable); 0 when it cannot be read.
int64_t availableMemory();

}  // namespace quill
