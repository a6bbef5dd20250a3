#include "app/FrameThreads.h"

#include <omp.h>
#include <pthread.h>
#include <sys/mman.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

namespace spheres {

namespace {

std::mutex gate;

// Room for what the runtime and the first frame allocate beside the threads' stacks (about 3 MB
// for 20 000 bodies on six threads), held while the threads are tried.
constexpr std::size_t runtimeRoom = 16u << 20;

void* waitAtGate(void*) {
    std::lock_guard<std::mutex> pass(gate);
    return nullptr;
}

// The stack size the OpenMP runtime gives its threads: OMP_STACKSIZE (or GOMP_STACKSIZE), a
// number with an optional B, K, M or G (K when none); 0 for the system's default.
std::size_t openmpStackSize() {
    for (const char* name : {"OMP_STACKSIZE", "GOMP_STACKSIZE"}) {
        const char* text = std::getenv(name);
        if (text == nullptr) {
            continue;
        }
        char* end = nullptr;
        unsigned long long size = std::strtoull(text, &end, 10);
        while (std::isspace(static_cast<unsigned char>(*end))) {
            ++end;
        }
        const char* units = "BKMG";
        const char* unit = *end != '\0' ? std::strchr(units, std::toupper(*end)) : units + 1;
        return unit != nullptr ? static_cast<std::size_t>(size << (10 * (unit - units))) : 0;
    }
    return 0;
}

} // namespace

int startFrameThreads(int wanted, std::string& why) {
    if (wanted <= 1) {
        return 1;
    }
    void* room = mmap(nullptr, runtimeRoom, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (room == MAP_FAILED) {
        why = std::strerror(errno);
        return 1;
    }
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    if (std::size_t stack = openmpStackSize()) {
        pthread_attr_setstacksize(&attributes, stack);
    }
    // All at once, each held at the gate until the last has been tried.
    std::vector<pthread_t> started;
    started.reserve(static_cast<std::size_t>(wanted));
    int error = 0;
    {
        std::lock_guard<std::mutex> hold(gate);
        for (int i = 1; i < wanted && error == 0; ++i) {
            pthread_t thread;
            error = pthread_create(&thread, &attributes, waitAtGate, nullptr);
            if (error == 0) {
                started.push_back(thread);
            }
        }
    }
    for (pthread_t thread : started) {
        pthread_join(thread, nullptr);
    }
    pthread_attr_destroy(&attributes);
    munmap(room, runtimeRoom);
    if (error != 0) {
        why = std::strerror(error);
    }
    int threads = 1 + static_cast<int>(started.size());
#ifdef _OPENMP
    // The runtime's team, which it keeps for the frames; it may be smaller (OMP_THREAD_LIMIT).
    int team = 1;
#pragma omp parallel num_threads(threads)
    {
#pragma omp master
        team = omp_get_num_threads();
    }
    threads = team;
#endif
    return threads;
}

} // namespace spheres
