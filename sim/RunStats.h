#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>

namespace spheres {

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

/// The progress bar's text for a terminal columns wide: "[###...] done/total frames  fps  alive",
/// shorter than columns (the cursor stays on the line); the bar shrinks first, then the text.
std::string progressLine(int columns, int framesDone, int totalFrames, double fps, int alive);

/// The terminal's width on descriptor, else $COLUMNS, else 80.
int terminalColumns(int descriptor);

/// A progress bar on a terminal: frames done, frames per second and alive bodies, redrawn at
/// most ten times a second, as wide as the terminal. Does nothing when disabled.
class ProgressBar {
public:
    ProgressBar(std::FILE* out, int totalFrames, bool enabled);
    /// Redraws the bar if enough time has passed since the last drawing.
    void update(int framesDone, int alive);
    /// Clears the bar so that a line can be printed on the same terminal; the next update()
    /// draws it again below that line.
    void clear();
    /// Clears the bar's line.
    void finish();

private:
    using Clock = std::chrono::steady_clock;
    void draw(Clock::time_point now);

    std::FILE* out;
    int totalFrames;
    bool enabled;
    bool drawn = false;
    int lastDone = 0;
    int lastAlive = 0;
    Clock::time_point start;
    Clock::time_point lastDrawn;
};

/// While a long start-up runs, shows what on a terminal with the seconds it has taken so far,
/// once it has taken more than half a second. Does nothing when disabled.
class StartupProgress {
public:
    StartupProgress(std::FILE* out, std::string what, bool enabled);
    StartupProgress(const StartupProgress&) = delete;
    StartupProgress& operator=(const StartupProgress&) = delete;
    /// Stops showing and clears the line.
    ~StartupProgress();

private:
    void show();

    std::FILE* out;
    std::string what;
    bool stopped = false;
    std::mutex mutex;
    std::condition_variable wake;
    std::thread ticker;
};

} // namespace spheres
