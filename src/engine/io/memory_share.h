// The memory one render process may give a decode. Set once per process by
// whoever divides the machine between processes; the loaders refuse an image
// whose pixels would not fit before any pixel is allocated.
#pragma once

#include <cstdint>

namespace quill {

/// Sets the share in bytes; 0 or less means no share (nothing is refused).
void setDecodeMemoryShare(int64_t bytes);

/// The share set last; 0 when none is set.
int64_t decodeMemoryShare();

/// True when a decode that needs `bytes` fits the share (always without one).
bool fitsDecodeMemoryShare(int64_t bytes);

}  // namespace quill
