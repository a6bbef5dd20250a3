#pragma once

#include "app/FrameLogic.h"
#include "body/BodyList.h"

namespace spheres {

class Body;
class Frustum;
class World;

// The frame without the tree's queries: every query is a linear scan over all bodies with the
// tree's own exact tests, the reference the tree is measured and checked against.

/// Appends each body of bodies[0..count) other than body that body met over the last step, in
/// array order, with the step fraction of first contact: the tree's moving-sphere test on
/// every pair, without pruning.
void bruteForceSweep(Body* body, Body* const* bodies, int count, BodyList& hits, TimeList& times);

/// Appends, in array order, each body whose present sphere is not wholly outside one of the
/// frustum's six planes.
void bruteForceFrustum(const Frustum& frustum, Body* const* bodies, int count, BodyList& visible);

/// An approximation of the World's step for structures without the tree (the benchmarks'
/// peers): every alive body integrates by timeStep, and those whose swept sphere no longer lies
/// strictly inside the root sphere die. The tree kills a body only once its leaf has also left
/// its parent, so the two can differ near the root's surface.
void stepWithoutTree(Body* const* bodies, int count, float timeStep);

/// One frame as simulateFrame computes it, with scans in place of the tree's queries: if running,
/// world steps by timeStep (the World's own integration, and its tree's update, which decides
/// which bodies left the root and die); then each body in order gets its sweep and its earliest
/// contact resolved; finally the frustum scan fills visible.
FrameOutcome bruteForceFrame(World& world, Body* const* bodies, int count, bool running,
                             float timeStep, const Frustum& frustum, BodyList& visible);

} // namespace spheres
