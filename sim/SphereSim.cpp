// sphere-sim: the window program's frames without a window, observable through CSV files.
#include "app/AppGlobals.h"
#include "app/CameraMatrices.h"
#include "app/FrameLogic.h"
#include "app/KeyBindings.h"
#include "app/ScenePopulation.h"
#include "body/Body.h"
#include "frustum/MatrixFrustum.h"
#include "sim/CsvFile.h"
#include "sim/RunStats.h"
#include "sim/SimOptions.h"
#include "spheretree/QuerySphereTree.h"
#include "world/World.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <new>

namespace {

constexpr int exitBadOption = 2;
constexpr int exitOutputFailed = 3;

int countAlive() {
    int alive = 0;
    for (int i = 0; i < bodyCount; ++i) {
        alive += bodyArray[i]->isAlive() ? 1 : 0;
    }
    return alive;
}

struct Outputs {
    CsvFile trace;
    CsvFile frames;
    bool quiet = false;

    // Closes both files, reports a failed write and prints the summary; false if a write failed.
    bool finish(const RunStats& stats) {
        bool traceOk = trace.close();
        bool framesOk = frames.close();
        bool stdoutOk = std::fflush(stdout) == 0 && std::ferror(stdout) == 0;
        if (!traceOk) {
            std::fprintf(stderr, "sphere-sim: --trace: writing the file failed\n");
        }
        if (!framesOk) {
            std::fprintf(stderr, "sphere-sim: --frames-out: writing the file failed\n");
        }
        if (!stdoutOk) {
            std::fprintf(stderr, "sphere-sim: --print-drawn: writing standard output failed\n");
        }
        if (!quiet) {
            std::fprintf(stderr, "%s\n", stats.summary().c_str());
        }
        return traceOk && framesOk && stdoutOk;
    }
};

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

    Outputs outputs;
    outputs.quiet = options.quiet;
    if (!options.tracePath.empty() && !outputs.trace.open(options.tracePath, traceHeader)) {
        std::fprintf(stderr, "sphere-sim: --trace: cannot create '%s'\n",
                     options.tracePath.c_str());
        return exitBadOption;
    }
    if (!options.framesPath.empty() && !outputs.frames.open(options.framesPath, framesHeader)) {
        std::fprintf(stderr, "sphere-sim: --frames-out: cannot create '%s'\n",
                     options.framesPath.c_str());
        outputs.trace.discard();
        return exitBadOption;
    }

    // The program's start-up, with the scene's size, generator state and spread chosen here.
    buildScene(*new World(), options.bodies, options.seed, options.spread);
    registerKeyBindings();

    RunStats stats;
    stats.alive = countAlive();
    stats.peakTreeNodes = world->getTree().countNodes();
    ProgressBar progress(stderr, options.frames, !options.quiet && isatty(STDERR_FILENO) == 1);

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
                                                 timeStep, frustum, visible);
            std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
            visible.clear();

            stats.addFrame(took.count(), outcome.contacts);
            stats.alive = countAlive();
            std::size_t nodes = world->getTree().countNodes();
            if (nodes > stats.peakTreeNodes) {
                stats.peakTreeNodes = nodes;
            }
            if (options.printDrawn && outcome.drawn >= 1) {
                std::printf("Spheres Drawn: %d\n", outcome.drawn);
            }
            if (outputs.frames.isOpen()) {
                std::fprintf(outputs.frames.handle(), "%d,%d,%d,%d\n", frame, outcome.drawn,
                             stats.alive, outcome.contacts);
            }
            progress.update(frame, stats.alive);
        }
        if (outputs.trace.isOpen() && frame % options.every == 0) {
            writeTraceRows(outputs.trace.handle(), frame, bodyArray, bodyCount);
        }

        // The presses listed for this frame, in order, through the program's own key handler.
        for (; nextKey != options.keys.end() && nextKey->afterFrame == frame; ++nextKey) {
            if (nextKey->key == 27) {
                // The handler ends the process with status 1: everything is written first.
                progress.finish();
                outputs.finish(stats);
            }
            handleKey(nextKey->key, 0, 0);
        }
        if (frame == options.frames) {
            break;
        }
    }
    progress.finish();
    return outputs.finish(stats) ? EXIT_SUCCESS : exitOutputFailed;
}

} // namespace

int main(int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "sphere-sim: out of memory\n");
        return exitOutputFailed;
    }
}
