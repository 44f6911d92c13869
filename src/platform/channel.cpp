#include "platform/channel.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <pthread.h>
#include <unistd.h>

namespace quill {

namespace {

constexpr uint32_t kMaxFields = 4096;
constexpr uint32_t kMaxFieldBytes = 16u << 20;

// A peer that is gone makes a write raise SIGPIPE, which ends a process that
// has not ignored it. Held back for this thread during the write, the signal
// is taken off again, so a dead peer is an error value, never the caller's end.
class HoldBrokenPipe {
public:
    HoldBrokenPipe()
    {
        sigemptyset(&pipeSignal_);
        sigaddset(&pipeSignal_, SIGPIPE);
        sigset_t pending;
        sigpending(&pending);
        wasPending_ = sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &pipeSignal_, &previous_);
    }
    ~HoldBrokenPipe()
    {
        if (!wasPending_) {
            timespec noWait{0, 0};
            while (sigtimedwait(&pipeSignal_, nullptr, &noWait) == -1 && errno == EINTR) {}
        }
        pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
    }
    HoldBrokenPipe(const HoldBrokenPipe&) = delete;
    HoldBrokenPipe& operator=(const HoldBrokenPipe&) = delete;

private:
    sigset_t pipeSignal_{};
    sigset_t previous_{};
    bool wasPending_ = false;
};

bool writeAll(int fd, const void* data, size_t size)
{
    HoldBrokenPipe hold;
    auto bytes = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t written = ::write(fd, bytes, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

bool readAll(int fd, void* data, size_t size)
{
    auto bytes = static_cast<char*>(data);
    while (size > 0) {
        ssize_t got = ::read(fd, bytes, size);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        bytes += got;
        size -= static_cast<size_t>(got);
    }
    return true;
}

}  // namespace

bool sendMessage(int fd, const Message& message)
{
    std::string frame;
    auto appendNumber = [&frame](uint32_t value) {
        frame.append(reinterpret_cast<const char*>(&value), sizeof value);
    };
    appendNumber(static_cast<uint32_t>(message.size()));
    for (const auto& field : message) {
        appendNumber(static_cast<uint32_t>(field.size()));
        frame += field;
    }
    return writeAll(fd, frame.data(), frame.size());
}

std::optional<Message> receiveMessage(int fd)
{
    uint32_t count = 0;
    if (!readAll(fd, &count, sizeof count) || count > kMaxFields)
        return std::nullopt;
    Message message(count);
    for (auto& field : message) {
        uint32_t size = 0;
        if (!readAll(fd, &size, sizeof size) || size > kMaxFieldBytes)
            return std::nullopt;
        field.resize(size);
        if (size > 0 && !readAll(fd, field.data(), size))
            return std::nullopt;
    }
    return message;
}

}  // namespace quill
