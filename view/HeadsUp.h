#pragma once

#include <string>
#include <vector>

namespace spheres {

class SimulationClock;
class ViewSession;

/// What the heads-up text shows of the window's drawing.
struct HeadsUpDrawing {
    /// Bodies in the frustum of the last picture: the frustum query's count.
    int drawnBodies = 0;
    /// The demo's own camera is shown, not the orbit camera.
    bool demoCamera = false;
    /// The clipping slab's position (0: off) and the bodies it lets through.
    int slabPosition = 0;
    int slabBodies = 0;
    /// The key list is shown.
    bool showHelp = false;
};

/// The view's running figures and its heads-up text, without GL: frames simulated and pictures
/// drawn with the time they took, their rates per second, the closing summary and the lines the
/// window draws over the scene. Times are seconds on any steady clock.
class HeadsUp {
public:
    /// Starts counting, and the first rate window, at time now.
    void start(double now);
    /// One simulated frame that took seconds.
    void frameSimulated(double seconds);
    /// One picture that took seconds, finished at time now. Once a second or more has passed
    /// since the last refresh, the rates are refreshed from what was counted since.
    void pictureDrawn(double seconds, double now);

    long simulated() const { return framesSimulated; }
    long pictures() const { return picturesDrawn; }
    /// Simulated frames and drawn pictures per second over the last full rate window; 0 until
    /// one has passed.
    double simRate() const { return framesPerSecond; }
    double drawRate() const { return picturesPerSecond; }

    /// The closing line: frames, pictures, seconds since start, mean milliseconds per frame and
    /// per picture (0 for none).
    std::string summary(double now) const;
    /// The heads-up lines for the scene of the application globals as session left it: frame,
    /// bodies, rates and times, the camera and the slab, the selected body's sweep, then
    /// "h: keys" or the key list. The legend gives the nodes per level.
    std::vector<std::string> lines(const ViewSession& session, const SimulationClock& clock,
                                   const HeadsUpDrawing& drawing) const;

private:
    double started = 0.0;
    long framesSimulated = 0;
    long picturesDrawn = 0;
    double simSeconds = 0.0;
    double drawSeconds = 0.0;
    double lastDrawSeconds = 0.0;
    double framesPerSecond = 0.0;
    double picturesPerSecond = 0.0;
    double windowStart = 0.0;
    long framesAtWindowStart = 0;
    long picturesAtWindowStart = 0;
};

} // namespace spheres
