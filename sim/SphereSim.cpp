// sphere-sim: the window program's frames without a window, observable through CSV files.
#include "app/AppGlobals.h"
#include "app/CameraMatrices.h"
#include "app/FrameLogic.h"
#include "app/FrameThreads.h"
#include "app/KeyBindings.h"
#include "app/ScenePopulation.h"
#include "app/Version.h"
#include "body/Body.h"
#include "frustum/MatrixFrustum.h"
#include "output/CsvFile.h"
#include "output/OutputFile.h"
#include "output/StopSignals.h"
#include "sim/RunStats.h"
#include "sim/SimOptions.h"
#include "spheretree/QuerySphereTree.h"
#include "world/World.h"

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <new>

using namespace spheres;

namespace {

constexpr int exitEsc = 1;
constexpr int exitBadOption = 2;
constexpr int exitOutputFailed = 3;

int countAlive() {
    int alive = 0;
    for (int i = 0; i < bodyCount; ++i) {
        alive += bodyArray[i]->isAlive() ? 1 : 0;
    }
    return alive;
}

// Bodies whose sphere does not lie inside the root sphere: the tree is made for a scene inside
// it, so a run that starts with such bodies is allowed but probably not meant.
int countOutsideRoot() {
    int outside = 0;
    for (int i = 0; i < bodyCount; ++i) {
        Body* body = bodyArray[i];
        outside += body->getPosition().length() + body->getRadius() > QuerySphereTree::rootRadius;
    }
    return outside;
}

// The run's outputs: the two tables and standard output for --print-drawn.
struct Outputs {
    OutputFile trace;
    OutputFile frames;
    OutputFile drawn;

    // Opens every output named; on failure removes what it made and prints why.
    bool open(const SimOptions& options) {
        if ((!options.tracePath.empty() && !trace.open(options.tracePath)) ||
            (!options.framesPath.empty() && !frames.open(options.framesPath))) {
            report();
            discard();
            return false;
        }
        if (options.printDrawn) {
            drawn.attach(STDOUT_FILENO, "standard output");
        }
        return true;
    }

    bool writeFailed() const {
        return failedOtherThanPipe(trace) || failedOtherThanPipe(frames) ||
               failedOtherThanPipe(drawn);
    }
    bool pipeClosed() const {
        return trace.pipeClosed() || frames.pipeClosed() || drawn.pipeClosed();
    }
    bool failed() const { return trace.failed() || frames.failed() || drawn.failed(); }

    // A device or FIFO gets each frame's rows at the frame's end, for a reader that follows the
    // run as it goes.
    void endFrame() {
        trace.flushIfDirect();
        frames.flushIfDirect();
    }

    void report() const {
        const char* options[] = {"--trace", "--frames-out", "--print-drawn"};
        const OutputFile* files[] = {&trace, &frames, &drawn};
        for (int i = 0; i < 3; ++i) {
            if (files[i]->failed()) {
                std::fprintf(stderr, "sphere-sim: %s: %s\n", options[i], files[i]->error().c_str());
            }
        }
    }

    void discard() {
        trace.discard();
        frames.discard();
        drawn.discard();
    }

    // Replaces the targets; false if one could not be written (the rest are then discarded).
    // Every output is synced before the first rename, so that a failed write replaces none.
    bool commit() {
        bool ok = drawn.sync() && frames.sync() && trace.sync() && drawn.commit() &&
                  frames.commit() && trace.commit();
        if (!ok) {
            discard();
        }
        return ok;
    }

    static bool failedOtherThanPipe(const OutputFile& file) {
        return file.failed() && !file.pipeClosed();
    }
};

const char* signalName(int signal) {
    return signal == SIGINT    ? "SIGINT"
           : signal == SIGTERM ? "SIGTERM"
           : signal == SIGHUP  ? "SIGHUP"
                               : "a closed pipe";
}

// Ends the run: a write error wins over everything (status 3), then a stop signal or a closed
// pipe (128 + signal); otherwise every output is committed and the status is finalStatus.
int finishRun(Outputs& outputs, const RunStats& stats, bool quiet, int finalStatus) {
    int signal = StopSignals::received();
    int status = finalStatus;
    if (outputs.writeFailed()) {
        outputs.discard();
        status = exitOutputFailed;
    } else if (signal != 0 || outputs.pipeClosed()) {
        outputs.discard();
        status = StopSignals::exitStatus(signal != 0 ? signal : SIGPIPE);
        if (!quiet) {
            std::fprintf(stderr, "sphere-sim: stopped by %s after frame %d; no file replaced\n",
                         signalName(signal), stats.frames);
        }
    } else if (!outputs.commit()) {
        status = exitOutputFailed;
    }
    outputs.report();
    if (!quiet) {
        std::fprintf(stderr, "%s\n", stats.summary().c_str());
    }
    return status;
}

int run(int argc, char** argv) {
    ParseResult parsed = parseSimOptions(argc, argv);
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "sphere-sim: %s\n", parsed.error.c_str());
        return exitBadOption;
    }
    const SimOptions& options = parsed.options;
    if (options.help) {
        std::fputs(simUsage(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("sphere-sim %s\n", spheresVersion());
        return 0;
    }
    for (const std::string& warning : parsed.warnings) {
        std::fprintf(stderr, "sphere-sim: warning: %s\n", warning.c_str());
    }

    StopSignals::install();
    Outputs outputs;
    if (!outputs.open(options)) {
        // A FIFO waited for its reader until a stop signal came.
        int signal = StopSignals::received();
        return signal != 0 ? StopSignals::exitStatus(signal) : exitBadOption;
    }
    bool stderrIsTerminal = !options.quiet && isatty(STDERR_FILENO) == 1;
    bool stdoutIsTerminal = isatty(STDOUT_FILENO) == 1;

    // The program's start-up, with the scene's size, generator state and spread chosen here.
    {
        StartupProgress placing(
            stderr, "sphere-sim: placing " + std::to_string(options.bodies) + " bodies in the tree",
            stderrIsTerminal);
        buildScene(options.scene, options.bodies, options.seed, options.spread);
    }
    if (int outside = countOutsideRoot()) {
        std::fprintf(stderr,
                     "sphere-sim: warning: --spread %g puts %d of %d bodies outside the root "
                     "sphere (radius %g) at start\n",
                     static_cast<double>(options.spread), outside, bodyCount,
                     static_cast<double>(QuerySphereTree::rootRadius));
    }
    registerKeyBindings();
    FrameSettings settings;
    settings.walk = options.walk;
    settings.threads = options.threads;
    FrameBuffers frameBuffers;
    settings.buffers = &frameBuffers;
    // Every walk's step and update run on the threads, so they are started for any walk.
    {
        std::string why;
        int wanted = batchedThreads(settings, bodyCount);
        int started = startFrameThreads(wanted, why);
        if (started < wanted) {
            settings.threads = started;
            std::fprintf(stderr,
                         "sphere-sim: warning: %d of the %d threads could not start (%s); the "
                         "frames run on %d, with the same results\n",
                         wanted - started, wanted, why.c_str(), started);
        }
    }

    RunStats stats;
    stats.alive = countAlive();
    stats.peakTreeNodes = world->getTree().countNodes();
    ProgressBar progress(stderr, options.frames, stderrIsTerminal);
    progress.update(0, stats.alive);
    if (outputs.frames.isOpen()) {
        outputs.frames.print("%s\n", options.timings ? framesTimedHeader : framesHeader);
    }
    if (outputs.trace.isOpen()) {
        outputs.trace.print("%s\n", traceHeader);
    }

    float projection[16];
    defaultProjectionMatrix(projection);
    float modelview[16];
    BodyList visible;
    auto nextKey = options.keys.begin();
    for (int frame = 0;; ++frame) {
        if (frame > 0) {
            cameraModelviewMatrix(cameraTransX, cameraTransY, cameraTransZ, cameraRotX, cameraRotY,
                                  cameraRotZ, modelview);
            MatrixFrustum frustum(projection, modelview);
            auto started = std::chrono::steady_clock::now();
            FrameOutcome outcome = simulateFrame(*world, bodyArray, bodyCount, simulationRunning,
                                                 timeStep, frustum, visible, settings);
            std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
            visible.clear();

            stats.addFrame(took.count(), outcome.contacts);
            stats.alive = countAlive();
            std::size_t nodes = world->getTree().countNodes();
            if (nodes > stats.peakTreeNodes) {
                stats.peakTreeNodes = nodes;
            }
            if (options.printDrawn && outcome.drawn >= 1) {
                // On a terminal the line goes above the progress bar, never into it.
                if (stdoutIsTerminal) {
                    progress.clear();
                }
                outputs.drawn.print("Spheres Drawn: %d\n", outcome.drawn);
                outputs.drawn.flush();
            }
            if (outputs.frames.isOpen()) {
                writeFrameRow(outputs.frames, frame, outcome.drawn, stats.alive, outcome.contacts,
                              options.timings, took.count() * 1000.0);
            }
            progress.update(frame, stats.alive);
        }
        if (outputs.trace.isOpen() && frame % options.every == 0) {
            writeTraceRows(outputs.trace, frame, bodyArray, bodyCount);
        }
        outputs.endFrame();
        // A failed write or a stop signal ends the run here, at the end of the frame.
        if (outputs.failed() || StopSignals::received() != 0) {
            break;
        }

        // The presses listed for this frame, in order, through the program's own key handler.
        for (; nextKey != options.keys.end() && nextKey->afterFrame == frame; ++nextKey) {
            if (nextKey->key == 27) {
                // The handler ends the process with status 1, so everything is settled first.
                progress.finish();
                int status = finishRun(outputs, stats, options.quiet, exitEsc);
                if (status != exitEsc) {
                    return status;
                }
            }
            handleKey(nextKey->key, 0, 0);
        }
        if (frame == options.frames) {
            break;
        }
    }
    progress.finish();
    return finishRun(outputs, stats, options.quiet, EXIT_SUCCESS);
}

} // namespace

int main(int argc, char** argv) {
    // Before anything is opened: a closed standard stream must not hand its number to a file.
    openStandardStreams();
    try {
        return run(argc, argv);
    } catch (const std::bad_alloc&) {
        // The outputs' destructors have removed their temporary files on the way out.
        std::fprintf(stderr, "sphere-sim: out of memory; no file replaced\n");
        return exitOutputFailed;
    }
}
