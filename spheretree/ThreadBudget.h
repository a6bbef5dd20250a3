#pragma once

#include <algorithm>
#include <cstddef>

namespace spheres {

/// How many threads the World's step and the tree's update and rebuild may share their per-body
/// work among. Only builds with OpenMP use more than one; every count gives the same results.
struct ThreadBudget {
    /// Threads at most; 1 runs everything on the caller's thread.
    int threads = 1;
    /// The fewest items (bodies, leaves) each thread gets: below that a thread costs more to
    /// wake and join than the work it takes over.
    int itemsPerThread = 2048;

    /// The threads to use for items pieces of work: 1 up to threads.
    int threadsFor(std::size_t items) const {
        std::size_t share = items / static_cast<std::size_t>(std::max(1, itemsPerThread));
        return static_cast<int>(std::max<std::size_t>(
            1, std::min(share, static_cast<std::size_t>(std::max(1, threads)))));
    }
};

} // namespace spheres
