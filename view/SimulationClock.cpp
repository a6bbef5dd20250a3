#include "view/SimulationClock.h"

#include "view/ViewOptions.h"

#include <algorithm>
#include <cmath>

namespace spheres {

int SimulationClock::framesDue(double now, double lastFrameSeconds) {
    if (isFrozen) {
        int steps = stepsAsked;
        stepsAsked = 0;
        return steps;
    }
    if (frameRate <= 0.0) {
        return 1;
    }
    if (!started) {
        started = true;
        anchor = now;
        counted = 0;
    }
    // Frames owed since the anchor; counting from one anchor keeps rounding from piling up.
    long total = static_cast<long>(std::floor((now - anchor) * frameRate + 1e-6));
    int whole = static_cast<int>(std::min<long>(total - counted, 1L << 20));
    if (whole <= 0) {
        return 0;
    }
    counted = total;
    double slot = 1.0 / frameRate;
    if (lastFrameSeconds > slot) {
        // A frame overruns its slot: one frame at a time, and no sooner than leaves the window
        // twice as long to draw as the frame took. The time owed meanwhile is dropped.
        if (now < resumeAt) {
            droppedFrames += whole;
            return 0;
        }
        resumeAt = now + 3.0 * lastFrameSeconds;
        droppedFrames += whole - 1;
        return 1;
    }
    // As many frames as fit into one slot at the last frame's cost: catching up never takes
    // longer than a slot, so drawing goes on between the batches. Before any frame has run its
    // cost is unknown: one frame, not every frame owed since the clock started.
    int fit = lastFrameSeconds > 0.0 ? static_cast<int>(slot / lastFrameSeconds) : 1;
    int run = std::min(whole, std::max(1, fit));
    droppedFrames += whole - run;
    return run;
}

void SimulationClock::toggleFrozen() {
    isFrozen = !isFrozen;
    stepsAsked = 0;
    // Time spent frozen is not owed.
    restart();
}

void SimulationClock::slower() {
    frameRate = frameRate <= 0.0 ? maxViewRate : std::max(1.0, frameRate / 2.0);
    // The frames owed are counted afresh at the new rate: counted from the old anchor, a lower
    // rate would owe none for as long as the frames already run took, a higher one a burst.
    restart();
}

void SimulationClock::faster() {
    frameRate = frameRate <= 0.0 || frameRate * 2.0 > maxViewRate ? 0.0 : frameRate * 2.0;
    restart();
}

} // namespace spheres
