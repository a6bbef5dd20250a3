#pragma once

#include <string>

namespace spheres {

/// Starts the batched frame's threads ahead of its first frame and returns how many run, from 1
/// to wanted; when fewer than wanted could start, why says what the system answered. The
/// OpenMP runtime ends the process when the system refuses it a thread (under a memory or
/// process limit), so each thread beside the caller's is first tried as a plain thread with the
/// stack the runtime gives its threads; the runtime's team is then started with as many as
/// started, while their stacks are still at hand, and keeps them for the frames. A frame
/// computes the same results on any number of threads.
int startFrameThreads(int wanted, std::string& why);

} // namespace spheres
