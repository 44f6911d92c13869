#include "platform/child_process.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace quill {

namespace {

/// In the child between fork and exec: only async-signal-safe calls. The
/// death signal is armed before the program starts, and a parent that died
/// before it was armed is noticed by the changed parent.
[[noreturn]] void execChild(const char* executable, char* const argv[], char* const envp[], int readFd, int writeFd,
                            pid_t parent)
{
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent)
        ::_exit(127);
    // The two pipe ends survive exec; everything else of the parent closes on exec.
    int flags = ::fcntl(readFd, F_GETFD);
    ::fcntl(readFd, F_SETFD, flags & ~FD_CLOEXEC);
    flags = ::fcntl(writeFd, F_GETFD);
    ::fcntl(writeFd, F_SETFD, flags & ~FD_CLOEXEC);
    if (UniqueFd null(::open("/dev/null", O_RDWR)); null) {
        ::dup2(null.get(), 0);
        ::dup2(null.get(), 1);
        ::dup2(null.get(), 2);
        // Opened as 0, 1 or 2, it is one of the standard streams now and stays.
        if (null.get() <= 2)
            null.release();
    }
    // Signals the parent ignores or blocks must not stay that way in the child.
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::execve(executable, argv, envp);
    ::_exit(127);
}

std::string nameOf(const std::string& variable)
{
    return variable.substr(0, variable.find('=') + 1);
}

}  // namespace

std::vector<std::string> environmentWith(const std::vector<std::string>& replacements)
{
    std::vector<std::string> variables;
    for (char** variable = environ; *variable; ++variable) {
        bool replaced = false;
        for (const auto& replacement : replacements)
            replaced =
                replaced || std::strncmp(*variable, nameOf(replacement).c_str(), nameOf(replacement).size()) == 0;
        if (!replaced)
            variables.emplace_back(*variable);
    }
    variables.insert(variables.end(), replacements.begin(), replacements.end());
    return variables;
}

bool startChildProcess(ChildProcess& process, const std::string& executable, const ChildEnvironment& environment)
{
    process = {};
    auto requests = makePipe();
    auto replies = makePipe();
    // A program that cannot be started is known before anything is forked.
    if (!requests || !replies || ::access(executable.c_str(), X_OK) != 0)
        return false;
    auto variables = environment(requests->read.get(), replies->write.get());
    std::vector<char*> envp;
    for (auto& variable : variables)
        envp.push_back(variable.data());
    envp.push_back(nullptr);
    std::string name = executable;
    char* argv[] = {name.data(), nullptr};
    const pid_t parent = ::getpid();
    pid_t pid = ::fork();
    if (pid == 0)
        execChild(executable.c_str(), argv, envp.data(), requests->read.get(), replies->write.get(), parent);
    if (pid < 0)
        return false;
    process.pid = pid;
    process.toChild = std::move(requests->write);
    process.fromChild = std::move(replies->read);
    return true;
}

bool stopChildProcess(ChildProcess& process, bool kill)
{
    process.toChild.reset();  // end of input lets a healthy process leave by itself
    bool healthy = true;
    if (process.alive()) {
        if (kill)
            ::kill(process.pid, SIGKILL);
        int status = 0;
        while (::waitpid(process.pid, &status, 0) < 0 && errno == EINTR) {}
        healthy = kill || (WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    process.fromChild.reset();
    process.pid = -1;
    return healthy;
}

std::string ownExecutable()
{
    std::error_code error;
    auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : path.string();
}

}  // namespace quill
