#include "platform/process_identity.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace quill {

namespace {

std::string readSmallFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

std::string linkTarget(const char* path)
{
    char target[256];
    ssize_t length = ::readlink(path, target, sizeof target);
    return length > 0 ? std::string(target, static_cast<size_t>(length)) : std::string();
}

}  // namespace

std::optional<uint64_t> processStartTime(pid_t pid)
{
    if (pid <= 0)
        return std::nullopt;
    std::string stat = readSmallFile("/proc/" + std::to_string(pid) + "/stat");
    // The command name (field 2) may hold blanks and parentheses: the fields
    // after it start at the last ")". Field 22 is the 20th after it.
    size_t at = stat.rfind(')');
    if (at == std::string::npos)
        return std::nullopt;
    unsigned long long start = 0;
    if (std::sscanf(stat.c_str() + at + 1,
                    " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %*u %*u %*d %*d %*d %*d %*d %*d %llu", &start) != 1)
        return std::nullopt;
    return start;
}

uint64_t ownStartTime()
{
    // Kept per process id: a forked child starts afresh.
    thread_local pid_t cachedFor = 0;
    thread_local uint64_t cached = 0;
    if (cachedFor != ::getpid()) {
        cachedFor = ::getpid();
        cached = processStartTime(cachedFor).value_or(0);
    }
    return cached;
}

bool processHasEnded(pid_t pid, uint64_t startTime)
{
    if (pid <= 0)
        return false;
    if (::kill(pid, 0) != 0 && errno == ESRCH)
        return true;
    // A dead process that nobody reaped (an orphan where the first process
    // of the container does not reap) still answers, as a zombie: it writes nothing more.
    std::string stat = readSmallFile("/proc/" + std::to_string(pid) + "/stat");
    size_t at = stat.rfind(')');
    if (at != std::string::npos && at + 2 < stat.size() && (stat[at + 2] == 'Z' || stat[at + 2] == 'X'))
        return true;
    // Another user's process answers EPERM: it exists. Its start time says
    // whether it is the one that named the file or a later one with its id.
    std::optional<uint64_t> start = processStartTime(pid);
    return start && *start != startTime;
}

const std::string& processSpaceTag()
{
    static const std::string tag = [] {
        std::string bootId = readSmallFile("/proc/sys/kernel/random/boot_id");
        std::string processIds = linkTarget("/proc/self/ns/pid");
        if (bootId.empty() || processIds.empty())
            return std::string();
        // FNV-1a: short, and the same in every process of this space.
        uint32_t hash = 2166136261u;
        for (char c : bootId + processIds) {
            hash ^= static_cast<unsigned char>(c);
            hash *= 16777619u;
        }
        char text[9];
        std::snprintf(text, sizeof text, "%08x", hash);
        return std::string(text);
    }();
    return tag;
}

}  // namespace quill
