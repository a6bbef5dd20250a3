#pragma once

#include "math/Plane.h"

namespace spheres {

/// Six clip planes of a view volume, each with its normal pointing inside.
/// Indices: 0 right, 1 left, 2 bottom, 3 top, 4 far, 5 near.
class Frustum {
public:
    virtual ~Frustum() {}
    /// Recomputes the six planes from the current matrices.
    virtual void extractPlanes() = 0;
    /// The first of the six planes (the right one); index it 0..5.
    virtual const Plane* getPlanes() const = 0;
    virtual const Plane* getTopPlane() const = 0;
    virtual const Plane* getBottomPlane() const = 0;
    virtual const Plane* getLeftPlane() const = 0;
    virtual const Plane* getRightPlane() const = 0;
    virtual const Plane* getNearPlane() const = 0;
    virtual const Plane* getFarPlane() const = 0;
    /// Plane i, 0 <= i <= 5; the stored record, valid as long as the frustum.
    virtual const Plane* getPlane(int i) const = 0;
};

} // namespace spheres
