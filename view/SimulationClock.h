#pragma once

namespace spheres {

/// When the view runs its simulated frames: at a fixed rate that does not depend on how fast the
/// window draws, frozen, or one frame at a time. Times are seconds on any steady clock.
class SimulationClock {
public:
    /// rate frames per second; 0 runs one frame per call of framesDue, however long it takes.
    explicit SimulationClock(double rate) : frameRate(rate) {}

    /// The frames to run now, at time now; lastFrameSeconds is what the last simulated frame
    /// took. Frames that overrun their slot run one at a time, taking at most a third of the
    /// time, and the time they cannot make up is dropped, so the window keeps drawing: a scene
    /// too large to simulate at the rate still turns smoothly under the mouse.
    int framesDue(double now, double lastFrameSeconds);

    /// No frame runs at all while frozen, except those asked for with step().
    void toggleFrozen();
    bool frozen() const { return isFrozen; }
    /// One more frame while frozen.
    void step() { stepsAsked += isFrozen ? 1 : 0; }
    /// Halves the rate, down to 1 frame per second (from "as fast as it draws": the top rate).
    /// The next frame comes one slot of the new rate after the next call of framesDue.
    void slower();
    /// Doubles the rate; past the top rate, one frame per drawn picture.
    void faster();
    double rate() const { return frameRate; }
    /// Forgets the time owed, as after a reset; the next call starts counting afresh.
    void restart() {
        started = false;
        resumeAt = 0.0;
    }
    /// Frames skipped since the start because frames overran their slots.
    long dropped() const { return droppedFrames; }

private:
    double frameRate;
    bool isFrozen = false;
    int stepsAsked = 0;
    bool started = false;
    /// Time of the last start, and the frames run or dropped since then.
    double anchor = 0.0;
    long counted = 0;
    /// While frames overrun: no frame before this time.
    double resumeAt = 0.0;
    long droppedFrames = 0;
};

} // namespace spheres
