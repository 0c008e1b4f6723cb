#include "platform/faultguard.h"

#include <atomic>
#include <csetjmp>
#include <csignal>
#include <cstring>
#include <mutex>

namespace platform {
namespace {

// The jump target of the guarded copy running on this thread, or null.
thread_local sigjmp_buf* t_jumpTarget = nullptr;

struct sigaction g_previousAction {};

void chainToPrevious(int signal, siginfo_t* info, void* context)
{
    if ((g_previousAction.sa_flags & SA_SIGINFO) != 0 && g_previousAction.sa_sigaction != nullptr) {
        g_previousAction.sa_sigaction(signal, info, context);
        return;
    }
    if (g_previousAction.sa_handler == SIG_IGN)
        return;
    if (g_previousAction.sa_handler != SIG_DFL && g_previousAction.sa_handler != nullptr) {
        g_previousAction.sa_handler(signal);
        return;
    }
    // Default action: restore it and return; the faulting access runs again
    // and the process ends the way it would have without us.
    struct sigaction defaultAction {};
    defaultAction.sa_handler = SIG_DFL;
    sigemptyset(&defaultAction.sa_mask);
    sigaction(signal, &defaultAction, nullptr);
}

void onSigbus(int signal, siginfo_t* info, void* context)
{
    sigjmp_buf* target = t_jumpTarget;
    if (target != nullptr) {
        t_jumpTarget = nullptr;
        siglongjmp(*target, 1);
    }
    chainToPrevious(signal, info, context);
}

void installHandler()
{
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction action {};
        action.sa_sigaction = onSigbus;
        // SA_NODEFER: the jump leaves the handler without restoring the
        // signal mask, so SIGBUS must not be blocked while it runs.
        action.sa_flags = SA_SIGINFO | SA_NODEFER;
        sigemptyset(&action.sa_mask);
        sigaction(SIGBUS, &action, &g_previousAction);
    });
}

} // namespace

bool guardedRun(void (*work)(void* context), void* context) noexcept
{
    installHandler();
    sigjmp_buf target;
    // savemask 0: no sigprocmask call per copy; see SA_NODEFER above.
    if (sigsetjmp(target, 0) != 0) {
        std::atomic_signal_fence(std::memory_order_seq_cst);
        return false;
    }
    t_jumpTarget = &target;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    work(context);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    t_jumpTarget = nullptr;
    return true;
}

namespace {

struct Copy {
    void* target;
    const void* source;
    std::size_t size;
};

void copyBytes(void* context)
{
    const auto* copy = static_cast<const Copy*>(context);
    std::memcpy(copy->target, copy->source, copy->size);
}

} // namespace

bool guardedRead(void* target, const void* source, std::size_t size) noexcept
{
    Copy copy{target, source, size};
    return guardedRun(copyBytes, &copy);
}

bool guardedWrite(void* target, const void* source, std::size_t size) noexcept
{
    Copy copy{target, source, size};
    return guardedRun(copyBytes, &copy);
}

} // namespace platform
