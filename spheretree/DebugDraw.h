#pragma once

#include "math/Vector3.h"

/// Where a tree's draw() sends what it draws, so the tree itself needs no graphics library: a
/// window program implements it (with GL, say) and hands it to the tree. With none set, draw()
/// draws nothing.
class DebugDraw {
public:
    /// A body's sphere at its present position, lit and filled in red.
    virtual void drawBody(const Vector3& position, float radius) = 0;

protected:
    ~DebugDraw() = default;
};
