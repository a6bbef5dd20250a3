#include "sim/RunStats.h"

#include <pthread.h>
#include <signal.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace spheres {

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

std::string progressLine(int columns, int framesDone, int totalFrames, double fps, int alive) {
    char rate[32];
    if (fps >= 1.0 || fps <= 0.0) {
        std::snprintf(rate, sizeof rate, "%.1f fps", fps);
    } else {
        std::snprintf(rate, sizeof rate, "%.1f s/frame", 1.0 / fps);
    }
    char text[160];
    std::snprintf(text, sizeof text, " %d/%d frames  %s  %d alive", framesDone, totalFrames, rate,
                  alive);
    std::string tail = text;
    // The last column stays free: writing there wraps the line on some terminals.
    int room = std::max(columns - 1, 0);
    int barWidth = std::min(room - static_cast<int>(tail.size()) - 2, 40);
    if (barWidth < 5) {
        return tail.substr(1, static_cast<std::size_t>(std::max(room, 0)));
    }
    int filled = totalFrames > 0
                     ? static_cast<int>(static_cast<long long>(framesDone) * barWidth / totalFrames)
                     : barWidth;
    return "[" + std::string(static_cast<std::size_t>(filled), '#') +
           std::string(static_cast<std::size_t>(barWidth - filled), '.') + "]" + tail;
}

int terminalColumns(int descriptor) {
    struct winsize size;
    if (ioctl(descriptor, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
        return size.ws_col;
    }
    const char* columns = std::getenv("COLUMNS");
    int fromEnvironment = columns != nullptr ? std::atoi(columns) : 0;
    return fromEnvironment > 0 ? fromEnvironment : 80;
}

ProgressBar::ProgressBar(std::FILE* out, int totalFrames, bool enabled)
    : out(out), totalFrames(totalFrames), enabled(enabled), start(Clock::now()), lastDrawn(start) {}

void ProgressBar::update(int framesDone, int alive) {
    lastDone = framesDone;
    lastAlive = alive;
    if (!enabled) {
        return;
    }
    Clock::time_point now = Clock::now();
    if (drawn && now - lastDrawn < std::chrono::milliseconds(100) && framesDone < totalFrames) {
        return;
    }
    draw(now);
}

void ProgressBar::draw(Clock::time_point now) {
    lastDrawn = now;
    drawn = true;
    double elapsed = std::chrono::duration<double>(now - start).count();
    double fps = elapsed > 0.0 ? lastDone / elapsed : 0.0;
    // The width is read at every drawing, so the bar follows a resized terminal.
    std::string line =
        progressLine(terminalColumns(fileno(out)), lastDone, totalFrames, fps, lastAlive);
    std::fprintf(out, "\r%s\x1b[K", line.c_str());
    std::fflush(out);
}

void ProgressBar::clear() {
    if (enabled && drawn) {
        std::fprintf(out, "\r\x1b[K");
        std::fflush(out);
        drawn = false;
    }
}

void ProgressBar::finish() {
    clear();
    enabled = false;
}

StartupProgress::StartupProgress(std::FILE* out, std::string what, bool enabled)
    : out(out), what(std::move(what)) {
    if (enabled) {
        ticker = std::thread([this] { show(); });
    }
}

StartupProgress::~StartupProgress() {
    if (!ticker.joinable()) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopped = true;
    }
    wake.notify_one();
    ticker.join();
}

void StartupProgress::show() {
    // Stop signals go to the main thread, which owns the run's outputs.
    sigset_t signals;
    sigfillset(&signals);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    auto started = std::chrono::steady_clock::now();
    bool shown = false;
    std::unique_lock<std::mutex> lock(mutex);
    while (!wake.wait_for(lock, std::chrono::milliseconds(shown ? 250 : 500),
                          [this] { return stopped; })) {
        double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        std::fprintf(out, "\r%s  %.0f s\x1b[K", what.c_str(), seconds);
        std::fflush(out);
        shown = true;
    }
    if (shown) {
        std::fprintf(out, "\r\x1b[K");
        std::fflush(out);
    }
}

} // namespace spheres
