#include "output/StopSignals.h"

#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace spheres {

namespace {

volatile sig_atomic_t firstSignal = 0;

// The handler may read a slot's path only while its flag is set; the run sets the flag after
// copying the path and clears it before the slot is reused. The path is an ordinary array: a
// signal fence before each store to the flag keeps the compiler from moving the copy past it.
constexpr int slotCount = 8;
char temporaryPaths[slotCount][PATH_MAX];
volatile sig_atomic_t slotInUse[slotCount];

// Async-signal-safe.
void removeTemporaries() {
    for (int i = 0; i < slotCount; ++i) {
        if (slotInUse[i] != 0) {
            unlink(temporaryPaths[i]);
            slotInUse[i] = 0;
        }
    }
}

void onStopSignal(int signal) {
    if (firstSignal == 0) {
        firstSignal = signal;
        return;
    }
    if (signal == SIGPIPE) {
        return;
    }
    // Only async-signal-safe calls from here on.
    removeTemporaries();
    const char message[] = "\nstopped at once by a second signal; temporary files removed\n";
    ssize_t ignored = write(STDERR_FILENO, message, sizeof message - 1);
    (void)ignored;
    _exit(128 + firstSignal);
}

// Any other signal that ends the process: its default action is put back and the signal taken
// again. A fault the processor raised (a bad address, say) comes again by itself when the
// handler returns.
void onEndingSignal(int signal, siginfo_t* info, void*) {
    removeTemporaries();
    struct sigaction byDefault;
    std::memset(&byDefault, 0, sizeof byDefault);
    byDefault.sa_handler = SIG_DFL;
    sigaction(signal, &byDefault, nullptr);
    bool fault = signal == SIGSEGV || signal == SIGBUS || signal == SIGFPE || signal == SIGILL;
    if (!(fault && info != nullptr && info->si_code > 0)) {
        // Blocked while the handler runs; delivered with the default action as it returns.
        raise(signal);
    }
}

// A file size limit: the kernel sends SIGXFSZ to the writer itself, and the write that passed
// the limit fails with EFBIG, which the run handles as any write error. The signal sent by
// another process ends the process as the others do.
void onFileSizeSignal(int signal, siginfo_t* info, void* context) {
    if (info == nullptr || info->si_code != SI_USER || info->si_pid != getpid()) {
        onEndingSignal(signal, info, context);
    }
}

void removeTemporariesAtExit() {
    removeTemporaries();
}

} // namespace

namespace StopSignals {

void install() {
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    // Interrupted calls resume: a run blocked on a full pipe waits for its reader or for the
    // second signal.
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGINT, SIGTERM, SIGPIPE, SIGHUP}) {
        struct sigaction before;
        if (signal == SIGHUP && sigaction(signal, nullptr, &before) == 0 &&
            before.sa_handler == SIG_IGN) {
            continue;
        }
        sigaction(signal, &action, nullptr);
    }

    struct sigaction ending;
    std::memset(&ending, 0, sizeof ending);
    ending.sa_sigaction = onFileSizeSignal;
    sigemptyset(&ending.sa_mask);
    ending.sa_flags = SA_SIGINFO | SA_RESTART;
    sigaction(SIGXFSZ, &ending, nullptr);
    ending.sa_sigaction = onEndingSignal;
    // Only a signal left at its default: one ignored stays ignored, and one that a tool such as
    // a sanitizer or a profiler handles keeps its handler.
    auto take = [&](int signal) {
        struct sigaction before;
        if (sigaction(signal, nullptr, &before) == 0 && !(before.sa_flags & SA_SIGINFO) &&
            before.sa_handler == SIG_DFL) {
            sigaction(signal, &ending, nullptr);
        }
    };
    for (int signal : {SIGQUIT, SIGILL, SIGTRAP, SIGABRT, SIGBUS, SIGFPE, SIGUSR1, SIGSEGV, SIGUSR2,
                       SIGALRM, SIGXCPU, SIGVTALRM, SIGPROF, SIGIO, SIGSYS}) {
        take(signal);
    }
#ifdef SIGSTKFLT
    take(SIGSTKFLT);
#endif
#ifdef SIGPWR
    take(SIGPWR);
#endif
    for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal) {
        take(signal);
    }
    static bool atExitRegistered = false;
    if (!atExitRegistered) {
        atExitRegistered = std::atexit(removeTemporariesAtExit) == 0;
    }
}

int received() {
    return firstSignal;
}

int exitStatus(int signal) {
    return 128 + signal;
}

int registerTemporary(const char* path) {
    if (std::strlen(path) >= PATH_MAX) {
        return -1;
    }
    for (int i = 0; i < slotCount; ++i) {
        if (slotInUse[i] == 0) {
            std::strcpy(temporaryPaths[i], path);
            std::atomic_signal_fence(std::memory_order_seq_cst);
            slotInUse[i] = 1;
            return i;
        }
    }
    return -1;
}

void forget(int slot) {
    if (slot >= 0 && slot < slotCount) {
        // Whatever the run did with the path before comes before the slot is freed.
        std::atomic_signal_fence(std::memory_order_seq_cst);
        slotInUse[slot] = 0;
    }
}

} // namespace StopSignals

} // namespace spheres
