#pragma once

#include "body/BodyList.h"

#include <memory>

namespace spheres {

class Body;
class Frustum;
class SweepVisitor;
class World;

/// The batched frame's working arrays (the body index, the leaves each query reached, the marks
/// of touched bodies), kept from one frame to the next so that a frame loop allocates them once
/// instead of every frame. Whoever runs the frames owns one and names it in
/// FrameSettings::buffers; every frame sets them afresh, so the results are the same with or
/// without. One frame at a time uses a given object.
class FrameBuffers {
public:
    FrameBuffers();
    ~FrameBuffers();
    FrameBuffers(const FrameBuffers&) = delete;
    FrameBuffers& operator=(const FrameBuffers&) = delete;

    struct Arrays;
    Arrays& arrays() { return *held; }

private:
    std::unique_ptr<Arrays> held;
};

/// How a frame runs its sweep queries; every way computes the same results in the same order.
enum class FrameWalk {
    /// Each body's query walks the tree's node lists, one body after the other.
    Literal,
    /// Each body's query walks the tree's query snapshot, one body after the other.
    Snapshot,
    /// Every body's query first, on the given threads; then the responses in order, where a
    /// body takes its early results unless an earlier response of the frame changed it or a
    /// body it reached, and queries again otherwise.
    Batched,
};

/// How simulateFrame runs, beyond what it computes.
struct FrameSettings {
    FrameWalk walk = FrameWalk::Batched;
    /// Threads the frame may use: the batched frame's queries, and the World's step, the tree's
    /// update and snapshot and the frustum query (World::setThreads); 1 starts none.
    int threads = 1;
    /// The fewest bodies the frame gives each thread; with fewer bodies than this in all, the
    /// batched frame runs the queries in order through the snapshot, and the rest of the frame
    /// runs on one thread. Below a few thousand bodies the tree stays in cache and batching does
    /// not pay, and a thread costs more to start and join than a few hundred queries take (far
    /// more on a busy machine).
    int bodiesPerThread = 2048;
    /// When set, this body's sweep query runs at its turn through the tree's literal walk with
    /// visitor told of every node it enters; the results are the same.
    Body* watched = nullptr;
    SweepVisitor* visitor = nullptr;
    /// Arrays the batched frame reuses; null: the frame allocates its own. Not owned.
    FrameBuffers* buffers = nullptr;
};

/// The threads that simulateFrame's batched walk runs count bodies on (0: it runs them in order
/// through the snapshot instead).
int batchedThreads(const FrameSettings& settings, int count);

/// What one frame computed besides the visible list.
struct FrameOutcome {
    /// Bodies inside the frustum: the number the frame draws and prints.
    int drawn = 0;
    /// Collision exchanges applied in the frame.
    int contacts = 0;
    /// Queries the batched frame walked again in its second phase (a response had changed the
    /// query body before its turn); 0 for the frames that run the queries in order.
    int requeried = 0;
};

/// Everything a frame does except drawing: steps world by timeStep if running; then for each of
/// bodies[0..count) in order runs the sweep query and resolves its earliest contact; finally
/// appends the bodies inside frustum to visible. The window programs and the headless tools run
/// this same function.
FrameOutcome simulateFrame(World& world, Body* const* bodies, int count, bool running,
                           float timeStep, const Frustum& frustum, BodyList& visible,
                           const FrameSettings& settings = FrameSettings());

} // namespace spheres
