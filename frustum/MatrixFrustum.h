#pragma once

#include "frustum/Frustum.h"

namespace spheres {

/// A frustum built from a projection and a modelview matrix given by the caller, column-major
/// (row r, column c at index 4c + r) as OpenGL stores them; needs no GL context.
class MatrixFrustum : public Frustum {
public:
    /// Copies both matrices and extracts the planes.
    MatrixFrustum(const float projectionMatrix[16], const float modelviewMatrix[16]);

    /// Replaces both matrices and extracts the planes again.
    void setMatrices(const float projectionMatrix[16], const float modelviewMatrix[16]);

    void extractPlanes() override;
    const Plane* getPlanes() const override;
    const Plane* getTopPlane() const override;
    const Plane* getBottomPlane() const override;
    const Plane* getLeftPlane() const override;
    const Plane* getRightPlane() const override;
    const Plane* getNearPlane() const override;
    const Plane* getFarPlane() const override;
    const Plane* getPlane(int i) const override;

    /// projection x modelview, column-major, as of the last extraction.
    const float* getClip() const { return clip; }
    /// The factor that normalised the last plane (near).
    float getNormScale() const { return normScale; }

protected:
    /// Leaves the matrices zero; the caller fills them before extracting.
    MatrixFrustum() = default;
    /// Forms clip and the six planes from the stored matrices.
    void computePlanes();

    float projection[16] = {};
    float modelview[16] = {};
    float clip[16] = {};
    float normScale = 0.0f;
    Plane planes[6];
};

} // namespace spheres
