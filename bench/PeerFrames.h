#pragma once

#include "app/FrameLogic.h"
#include "body/BodyList.h"

#include <vector>

using namespace spheres;

/// An axis-aligned box: the broad phase's bound of a body's swept sphere.
struct Box {
    float min[3];
    float max[3];
};

/// The program's frame with a well-known broad phase in place of the tree, for comparison: every
/// alive body integrates (and dies where the tree would kill it), the structure is brought up to
/// date from the boxes of the swept spheres, then each alive body in order takes the candidates
/// whose boxes overlap its own, runs the tree's exact moving-sphere test on them and resolves
/// its earliest contact; the frustum is a scan. The structure may find more contacts than the
/// tree, which prunes with the present sphere.
class PeerFrame {
public:
    virtual ~PeerFrame() = default;
    FrameOutcome frame(Body* const* bodies, int count, float timeStep, const Frustum& frustum,
                       BodyList& visible);

protected:
    /// Brings the structure up to date; boxes[i] is body i's box, dead bodies are left out.
    virtual void update(const std::vector<Box>& boxes, const std::vector<char>& alive) = 0;
    /// Appends the index of every body whose box overlaps box (i's own may be among them).
    virtual void candidates(const Box& box, std::vector<int>& found) = 0;
};

/// Bullet's dynamic AABB tree, updated as its broad phase does: a leaf is moved only when its
/// box leaves its fattened box, then a few incremental optimisation passes.
PeerFrame* makeDbvtFrame();
/// A uniform grid hashed into a table, rebuilt every frame; cells are as wide as the largest box.
PeerFrame* makeGridFrame();
