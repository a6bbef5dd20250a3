#include "sim/RunStats.h"

void RunStats::addFrame(double seconds, int contactsInFrame) {
    if (frames == 0 || seconds < bestSeconds) {
        bestSeconds = seconds;
    }
    ++frames;
    totalSeconds += seconds;
    contacts += contactsInFrame;
}

std::string RunStats::summary() const {
    double meanMs = frames > 0 ? totalSeconds * 1000.0 / frames : 0.0;
    double bestMs = bestSeconds * 1000.0;
    char line[256];
    std::snprintf(line, sizeof line,
                  "sphere-sim: %d frames, %d alive, %lld contacts, %.4f ms/frame mean, "
                  "%.4f ms best, peak tree nodes %zu",
                  frames, alive, contacts, meanMs, bestMs, peakTreeNodes);
    return line;
}

ProgressBar::ProgressBar(std::FILE* out, int totalFrames, bool enabled)
    : out(out), totalFrames(totalFrames), enabled(enabled), start(Clock::now()), lastDrawn(start) {}

void ProgressBar::update(int framesDone, int alive) {
    if (!enabled) {
        return;
    }
    Clock::time_point now = Clock::now();
    if (drawn && now - lastDrawn < std::chrono::milliseconds(100) && framesDone < totalFrames) {
        return;
    }
    lastDrawn = now;
    drawn = true;
    double elapsed = std::chrono::duration<double>(now - start).count();
    double fps = elapsed > 0.0 ? framesDone / elapsed : 0.0;
    const int width = 30;
    int filled = totalFrames > 0
                     ? static_cast<int>(static_cast<long long>(framesDone) * width / totalFrames)
                     : width;
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.append(static_cast<std::size_t>(width - filled), '.');
    std::fprintf(out, "\r[%s] %d/%d frames  %.1f fps  %d alive\x1b[K", bar.c_str(), framesDone,
                 totalFrames, fps, alive);
    std::fflush(out);
}

void ProgressBar::finish() {
    if (enabled && drawn) {
        std::fprintf(out, "\r\x1b[K");
        std::fflush(out);
    }
    drawn = false;
}
