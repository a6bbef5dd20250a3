#pragma once

#include "app/FrameLogic.h"
#include "body/BodyList.h"

class Body;
class Frustum;

// The frame without a tree: every query is a linear scan over all bodies with the tree's own
// exact tests, the reference the tree is measured and checked against.

/// Appends each body of bodies[0..count) other than body that body met over the last step, in
/// array order, with the step fraction of first contact: the tree's moving-sphere test on
/// every pair, without pruning.
void bruteForceSweep(Body* body, Body* const* bodies, int count, BodyList& hits, TimeList& times);

/// Appends, in array order, each body whose present sphere is not wholly outside one of the
/// frustum's six planes.
void bruteForceFrustum(const Frustum& frustum, Body* const* bodies, int count, BodyList& visible);

/// The World's step without a tree: every alive body integrates by timeStep, and those whose
/// swept sphere no longer lies strictly inside the root sphere die.
void stepWithoutTree(Body* const* bodies, int count, float timeStep);

/// One frame as simulateFrame computes it, with scans in place of the tree: if running, every
/// alive body integrates by timeStep and those whose swept sphere no longer lies strictly
/// inside the root sphere die; then each body in order gets its sweep and its earliest contact
/// resolved; finally the frustum scan fills visible.
FrameOutcome bruteForceFrame(Body* const* bodies, int count, bool running, float timeStep,
                             const Frustum& frustum, BodyList& visible);
