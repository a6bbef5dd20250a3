#pragma once

#include "body/BodyList.h"

class Body;
class Frustum;
class World;

/// What one frame computed besides the visible list.
struct FrameOutcome {
    /// Bodies inside the frustum: the number the frame draws and prints.
    int drawn = 0;
    /// Collision exchanges applied in the frame.
    int contacts = 0;
};

/// Everything a frame does except drawing: steps world by timeStep if running; then for each of
/// bodies[0..count) in order runs the sweep query and resolves its earliest contact; finally
/// appends the bodies inside frustum to visible. The window program and the headless tools run
/// this same function.
FrameOutcome simulateFrame(World& world, Body* const* bodies, int count, bool running,
                           float timeStep, const Frustum& frustum, BodyList& visible);
