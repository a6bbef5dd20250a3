#include "view/ViewSession.h"

#include "app/AppGlobals.h"
#include "app/ScenePopulation.h"
#include "body/SphereBody.h"
#include "output/CsvFile.h"
#include "spheretree/QuerySphereTree.h"
#include "view/PngFile.h"
#include "world/World.h"

#include <chrono>

namespace spheres {

namespace {

void countSubtree(const TreeNode* node, TreeLevelCounts& counts) {
    if (node->flags & TreeNodeFlags::Bounding) {
        std::size_t level = static_cast<std::size_t>(node->level);
        if (counts.bounding.size() <= level) {
            counts.bounding.resize(level + 1, 0);
        }
        ++counts.bounding[level];
    } else if (node->flags & TreeNodeFlags::Leaf) {
        ++counts.leaves;
        counts.escaped += node->body->isAlive() ? 0 : 1;
    }
    for (const TreeNode* child : node->children) {
        countSubtree(child, counts);
    }
}

} // namespace

TreeLevelCounts countTreeLevels(QuerySphereTree& tree) {
    TreeLevelCounts counts;
    countSubtree(tree.getRoot(), counts);
    return counts;
}

ViewSession::ViewSession(const ViewOptions& options, std::FILE* out) : options(options), out(out) {
    createScene();
}

ViewSession::~ViewSession() {
    destroyScene();
}

bool ViewSession::openTrace() {
    if (options.tracePath.empty()) {
        return true;
    }
    if (!trace.open(options.tracePath)) {
        return false;
    }
    trace.print("%s\n", traceHeader);
    writeTrace();
    return true;
}

std::string ViewSession::closeOutputs(const unsigned char* picture, int width, int height) {
    OutputFile shot;
    std::string error;
    if (picture != nullptr && !options.screenshotPath.empty()) {
        error = shot.open(options.screenshotPath) ? writePng(shot, picture, width, height)
                                                  : shot.error();
        error = error.empty() ? "" : "--screenshot: " + error;
    }
    // Both are whole on disk before either is renamed, so a failure changes neither file.
    if (error.empty() && !shot.sync()) {
        error = "--screenshot: " + shot.error();
    }
    if (error.empty() && !trace.sync()) {
        error = "--trace: " + trace.error();
    }
    if (error.empty() && !(shot.commit() && trace.commit())) {
        error = shot.failed() ? "--screenshot: " + shot.error() : "--trace: " + trace.error();
    }
    if (!error.empty()) {
        shot.discard();
        trace.discard();
    }
    return error;
}

void ViewSession::setDebugDraw(DebugDraw* draw) {
    debugDraw = draw;
    world->getTree().setDebugDraw(draw);
}

void ViewSession::createScene() {
    // The start-up of the other programs, with the scene's size, seed and spread from the
    // options; it also sets the globals that the demo's key handlers work on.
    buildScene(options.scene, options.bodies, options.seed, options.spread);
    world->getTree().setDebugDraw(debugDraw);
    frameNumber = 0;
    outcome = FrameOutcome();
    frameDone();
}

void ViewSession::destroyScene() {
    delete world;
    world = nullptr;
    for (int i = 0; i < bodyCount; ++i) {
        delete static_cast<SphereBody*>(bodyArray[i]);
    }
    delete[] bodyArray;
    bodyArray = nullptr;
}

void ViewSession::reset() {
    ++changes;
    destroyScene();
    simulationRunning = true;
    createScene();
    writeTrace();
    recorder.watch(selectedBody());
}

void ViewSession::runFrame(const Frustum& frustum) {
    // One thread: the renderer's own threads want the other cores, and the batched queries'
    // threads, spinning between frames, take time from them (measured: no faster at 10 000
    // bodies).
    FrameSettings settings;
    settings.watched = selectedBody();
    settings.visitor = settings.watched ? &recorder : nullptr;
    settings.buffers = &frameBuffers;
    if (settings.watched) {
        recorder.watch(settings.watched);
    }
    BodyList visible;
    auto started = std::chrono::steady_clock::now();
    outcome = simulateFrame(*world, bodyArray, bodyCount, simulationRunning, timeStep, frustum,
                            visible, settings);
    frameSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    ++frameNumber;
    ++changes;
    writeTrace();
    frameDone();
}

void ViewSession::writeTrace() {
    if (trace.isOpen()) {
        writeTraceRows(trace, frameNumber, bodyArray, bodyCount);
        // A device or FIFO gets each frame's rows as the frame ends.
        trace.flushIfDirect();
    }
}

void ViewSession::frameDone() {
    aliveCount = 0;
    for (int i = 0; i < bodyCount; ++i) {
        aliveCount += bodyArray[i]->isAlive() ? 1 : 0;
    }
    std::fprintf(out, "frame %d alive %d contacts %d\n", frameNumber, aliveCount, outcome.contacts);
    std::fflush(out);
}

std::vector<unsigned char> ViewSession::takeDueKeys() {
    std::vector<unsigned char> due;
    const std::vector<KeyPress>& keys = options.keys;
    for (; nextKey < keys.size() && keys[nextKey].afterFrame <= frameNumber; ++nextKey) {
        due.push_back(keys[nextKey].key);
    }
    return due;
}

Body* ViewSession::selectedBody() const {
    return selected >= 0 && selected < bodyCount ? bodyArray[selected] : nullptr;
}

int ViewSession::indexOf(const Body* body) const {
    for (int i = 0; i < bodyCount; ++i) {
        if (bodyArray[i] == body) {
            return i;
        }
    }
    return -1;
}

void ViewSession::select(int index) {
    selected = index >= 0 && index < bodyCount ? index : -1;
    Body* body = selectedBody();
    if (body) {
        Vector3 p = body->getPosition();
        std::fprintf(out, "selected %d at %.9g %.9g %.9g radius %.9g\n", selected,
                     static_cast<double>(p.x), static_cast<double>(p.y), static_cast<double>(p.z),
                     static_cast<double>(body->getRadius()));
    } else {
        std::fprintf(out, "selected none\n");
    }
    std::fflush(out);
    recordSweepNow();
}

void ViewSession::selectBody(Body* body) {
    select(indexOf(body));
}

void ViewSession::cycleSelection(int step) {
    for (int k = 1; k <= bodyCount; ++k) {
        int index = ((selected < 0 ? (step > 0 ? -1 : 0) : selected) + k * step) % bodyCount;
        index = index < 0 ? index + bodyCount : index;
        if (bodyArray[index]->isAlive()) {
            select(index);
            return;
        }
    }
    select(-1);
}

void ViewSession::recordSweepNow() {
    ++changes;
    Body* body = selectedBody();
    recorder.watch(body);
    if (body) {
        // Read-only: the query changes neither the tree nor the bodies.
        BodyList hits;
        TimeList times;
        world->getTree().querySweep(body, hits, times, recorder);
    }
}

} // namespace spheres
