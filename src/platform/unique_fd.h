// An owned file descriptor: closed when its owner goes, so no early return
// leaks one. Moves, never copies.
#pragma once

#include <optional>
#include <utility>

namespace quill {

class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    explicit operator bool() const { return valid(); }

    /// Hands the descriptor over; this owner holds none afterwards.
    int release() { return std::exchange(fd_, -1); }
    /// Closes the descriptor held and takes `fd` instead.
    void reset(int fd = -1);
    /// Closes the descriptor held; false when close() reported an error
    /// (for a file written, the last chance to hear of a failed write).
    [[nodiscard]] bool close();

private:
    int fd_ = -1;
};

/// Both ends of a pipe, each closed on exec.
struct Pipe {
    UniqueFd read;
    UniqueFd write;
};

/// A new pipe; nothing when the system has no descriptors left.
std::optional<Pipe> makePipe();

}  // namespace quill
