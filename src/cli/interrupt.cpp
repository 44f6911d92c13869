#include "cli/interrupt.h"

#include <csignal>

namespace quill {

namespace {

static_assert(std::atomic<bool>::is_always_lock_free, "the handler stores to the flag");

std::atomic<std::atomic<bool>*> runningFlag{nullptr};
static_assert(std::atomic<std::atomic<bool>*>::is_always_lock_free, "the handler reads the pointer");
volatile std::sig_atomic_t interrupts = 0;
struct sigaction earlierInterrupt {};
struct sigaction earlierTerminate {};

// Only async-signal-safe work: a lock-free store, or the default action again.
void onInterrupt(int signal)
{
    const bool first = interrupts == 0;
    interrupts = 1;
    std::atomic<bool>* running = runningFlag.load();
    if (first && running) {
        running->store(false);
        return;
    }
    std::signal(signal, SIG_DFL);
    std::raise(signal);  // delivered once this handler returns: the usual death by that signal
}

// A signal the process was started ignoring (nohup, a background job of a
// script) stays ignored.
void catchUnlessIgnored(int signal, const struct sigaction& action, struct sigaction& earlier)
{
    ::sigaction(signal, nullptr, &earlier);
    if (earlier.sa_handler != SIG_IGN)
        ::sigaction(signal, &action, nullptr);
}

}  // namespace

StopOnInterrupt::StopOnInterrupt(std::atomic<bool>& running)
{
    runningFlag = &running;
    interrupts = 0;
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    catchUnlessIgnored(SIGINT, action, earlierInterrupt);
    catchUnlessIgnored(SIGTERM, action, earlierTerminate);
}

StopOnInterrupt::Stage::Stage(std::atomic<bool>& running) : earlier_(runningFlag.exchange(&running))
{
    if (interrupts != 0)
        running.store(false);
}

StopOnInterrupt::Stage::~Stage()
{
    runningFlag = earlier_;
    if (interrupts != 0 && earlier_)
        earlier_->store(false);
}

std::thread StopOnInterrupt::startThread(const std::function<void()>& work)
{
    sigset_t signals, earlier;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    ::pthread_sigmask(SIG_BLOCK, &signals, &earlier);
    struct RestoreMask {
        const sigset_t& mask;
        ~RestoreMask() { ::pthread_sigmask(SIG_SETMASK, &mask, nullptr); }
    } restore{earlier};
    return std::thread(work);  // inherits the blocked signals
}

bool StopOnInterrupt::interrupted() const
{
    return interrupts != 0;
}

StopOnInterrupt::~StopOnInterrupt()
{
    ::sigaction(SIGINT, &earlierInterrupt, nullptr);
    ::sigaction(SIGTERM, &earlierTerminate, nullptr);
    runningFlag = nullptr;
}

}  // namespace quill
