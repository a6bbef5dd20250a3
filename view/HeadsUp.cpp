#include "view/HeadsUp.h"

#include "app/AppGlobals.h"
#include "body/Body.h"
#include "view/ClipSlab.h"
#include "view/SimulationClock.h"
#include "view/ViewKeys.h"
#include "view/ViewSession.h"

#include <cstdarg>
#include <cstdio>

namespace spheres {

namespace {

std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* pattern, ...) {
    char buffer[256];
    va_list arguments;
    va_start(arguments, pattern);
    std::vsnprintf(buffer, sizeof buffer, pattern, arguments);
    va_end(arguments);
    return buffer;
}

} // namespace

void HeadsUp::start(double now) {
    *this = HeadsUp();
    started = now;
    windowStart = now;
}

void HeadsUp::frameSimulated(double seconds) {
    ++framesSimulated;
    simSeconds += seconds;
}

void HeadsUp::pictureDrawn(double seconds, double now) {
    lastDrawSeconds = seconds;
    drawSeconds += seconds;
    ++picturesDrawn;
    double since = now - windowStart;
    if (since >= 1.0) {
        framesPerSecond = (framesSimulated - framesAtWindowStart) / since;
        picturesPerSecond = (picturesDrawn - picturesAtWindowStart) / since;
        windowStart = now;
        framesAtWindowStart = framesSimulated;
        picturesAtWindowStart = picturesDrawn;
    }
}

std::string HeadsUp::summary(double now) const {
    return format("%ld frames simulated, %ld pictures drawn in %.1f s; %.2f ms per frame, %.2f ms "
                  "per picture",
                  framesSimulated, picturesDrawn, now - started,
                  framesSimulated ? 1000.0 * simSeconds / framesSimulated : 0.0,
                  picturesDrawn ? 1000.0 * drawSeconds / picturesDrawn : 0.0);
}

std::vector<std::string> HeadsUp::lines(const ViewSession& session, const SimulationClock& clock,
                                        const HeadsUpDrawing& drawing) const {
    std::vector<std::string> lines;
    const FrameOutcome& outcome = session.lastOutcome();
    lines.push_back(format("frame %d  alive %d/%d  contacts %d  drawn %d", session.frame(),
                           session.alive(), bodyCount, outcome.contacts, drawing.drawnBodies));
    std::string rate = clock.rate() > 0.0 ? format("%g/s", clock.rate()) : "max";
    lines.push_back(format("rate %s%s%s  sim %.1f ms (%.0f/s)  draw %.1f ms (%.0f/s)", rate.c_str(),
                           clock.frozen() ? " FROZEN" : "", simulationRunning ? "" : " paused",
                           1000.0 * session.lastFrameSeconds(), framesPerSecond,
                           1000.0 * lastDrawSeconds, picturesPerSecond));
    std::string slab = drawing.slabPosition == 0
                           ? std::string("no slab")
                           : format("slab %d/%d: %d bodies", drawing.slabPosition, ClipSlab::steps,
                                    drawing.slabBodies);
    lines.push_back(format("camera %s  %s", drawing.demoCamera ? "demo" : "orbit", slab.c_str()));
    if (session.selectedBody()) {
        const SweepRecorder& sweep = session.sweep();
        const SweepRecorder::Leaf* contact = sweep.earliestContact();
        std::string partner = contact ? format("t %.3f with %d", static_cast<double>(contact->time),
                                               session.indexOf(contact->body))
                                      : std::string("none");
        lines.push_back(format("body %d: entered %d rejected %d leaves %zu  contact %s",
                               session.selectedIndex(), sweep.acceptedCount(),
                               sweep.rejectedCount(), sweep.leaves().size(), partner.c_str()));
    }
    if (!drawing.showHelp) {
        lines.push_back("h: keys");
        return lines;
    }
    lines.push_back("q/Q a/A z/Z move, w/W s/S x/X turn, space pause, b recall, Esc quit");
    lines.push_back("mouse: drag orbit, right drag or wheel zoom, click pick");
    for (const ViewKey& key : viewKeys()) {
        if (key.help) {
            lines.push_back(key.help);
        }
    }
    return lines;
}

} // namespace spheres
