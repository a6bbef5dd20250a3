#pragma once

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <string>

/// What a run has done so far: frames, contacts, per-frame times and the tree's peak size.
struct RunStats {
    int frames = 0;
    int alive = 0;
    long long contacts = 0;
    double totalSeconds = 0.0;
    double bestSeconds = 0.0;
    std::size_t peakTreeNodes = 0;

    /// Records one frame that took seconds to compute.
    void addFrame(double seconds, int contactsInFrame);
    /// The one-line summary: frames, alive, contacts, mean and best ms per frame, peak nodes.
    std::string summary() const;
};

/// A progress bar on a terminal: frames done, frames per second and alive bodies, redrawn at
/// most ten times a second. Does nothing when disabled.
class ProgressBar {
public:
    ProgressBar(std::FILE* out, int totalFrames, bool enabled);
    /// Redraws the bar if enough time has passed since the last drawing.
    void update(int framesDone, int alive);
    /// Clears the bar's line.
    void finish();

private:
    using Clock = std::chrono::steady_clock;
    std::FILE* out;
    int totalFrames;
    bool enabled;
    bool drawn = false;
    Clock::time_point start;
    Clock::time_point lastDrawn;
};
