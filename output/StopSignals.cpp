#include "output/StopSignals.h"

#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
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

void onStopSignal(int signal) {
    if (firstSignal == 0) {
        firstSignal = signal;
        return;
    }
    if (signal == SIGPIPE) {
        return;
    }
    // Only async-signal-safe calls from here on.
    for (int i = 0; i < slotCount; ++i) {
        if (slotInUse[i] != 0) {
            unlink(temporaryPaths[i]);
        }
    }
    const char message[] = "\nstopped at once by a second signal; temporary files removed\n";
    ssize_t ignored = write(STDERR_FILENO, message, sizeof message - 1);
    (void)ignored;
    _exit(128 + firstSignal);
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
    for (int signal : {SIGINT, SIGTERM, SIGPIPE}) {
        sigaction(signal, &action, nullptr);
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
