// Framed messages between the batch and its render processes: a message is a
// list of text fields, sent as a count and length-prefixed fields over a pipe.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quill {

using Message = std::vector<std::string>;

/// Writes the whole message; false when the other end is gone.
[[nodiscard]] bool sendMessage(int fd, const Message& message);

/// Reads one whole message; nothing on end of file, a broken pipe or a frame
/// larger than the limit (a confused peer must not make us allocate gigabytes).
std::optional<Message> receiveMessage(int fd);

}  // namespace quill
