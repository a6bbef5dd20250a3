#pragma once

#include "math/Vector3.h"

namespace spheres {

/// Where a tree's draw() sends what it draws, so the tree itself needs no graphics library: a
/// window program implements it (with GL, say) and hands it to the tree. With none set, draw()
/// draws nothing.
class DebugDraw {
public:
    /// A body's sphere at its present position, lit and filled in red.
    virtual void drawBody(const Vector3& position, float radius) = 0;
    /// A bounding sphere of the hierarchy (the root at level 0), sent before the nodes below it.
    /// Draws nothing unless overridden.
    virtual void drawBounds(const Vector3& /*center*/, float /*radius*/, int /*level*/) {}
    /// The sphere of a leaf whose body has died (it left the root), sent before that body.
    /// Draws nothing unless overridden.
    virtual void drawEscapedLeaf(const Vector3& /*center*/, float /*radius*/) {}

protected:
    ~DebugDraw() = default;
};

} // namespace spheres
