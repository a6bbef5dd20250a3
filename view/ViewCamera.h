#pragma once

#include "math/Vector3.h"

namespace spheres {

class Body;

/// The demo's six camera values (translations, then angles in degrees), which its twelve keys
/// and the view's mouse change.
struct CameraPose {
    float transX = 0.0f;
    float transY = 0.0f;
    float transZ = 0.0f;
    float rotX = 0.0f;
    float rotY = 0.0f;
    float rotZ = 0.0f;
};

/// A sphere that holds a scene's alive bodies: what the orbit camera frames.
struct SceneBounds {
    Vector3 center;
    float radius = 1.0f;
};

/// The sphere around the middle of the alive bodies' bounding box that holds all of them; with
/// no alive body, the sphere of the start-up cube around the origin.
SceneBounds boundAliveBodies(Body* const* bodies, int count);

/// Which camera the view shows.
enum class CameraKind {
    /// Outside the scene, looking at its centre, far enough to frame its bodies.
    Orbit,
    /// The demo's own camera: 10000 units from the origin, whatever the scene.
    Demo,
};

/// A camera's two matrices, column-major as GL keeps them.
struct CameraMatrices {
    float projection[16];
    float modelview[16];
};

/// The view's two cameras. Both take the demo's six values the same way: the translations move
/// the camera and the angles turn the scene, about the origin for the demo's camera and about
/// the framed scene's centre for the orbit camera, which also starts turned a little so that the
/// scene shows its depth.
class ViewCamera {
public:
    /// The demo's field of view, in degrees, for both cameras.
    static constexpr double fieldOfView = 75.0;
    /// The orbit camera's turn before any key: degrees about x and about y.
    static constexpr float orbitTilt = 20.0f;
    static constexpr float orbitTurn = -30.0f;

    /// Aims the orbit camera at bounds' centre, far enough that the whole sphere shows in a
    /// window at least as wide as high, and forgets its zoom.
    void frame(const SceneBounds& bounds);
    const SceneBounds& framed() const { return bounds; }

    void toggle() { shown = shown == CameraKind::Orbit ? CameraKind::Demo : CameraKind::Orbit; }
    CameraKind kind() const { return shown; }

    /// Moves the orbit camera towards the centre (factor below 1) or away from it.
    void zoomOrbit(float factor);
    /// Distance from the orbit camera to the framed centre, before the demo's translations.
    float orbitDistance() const { return distance * zoom; }

    /// The matrices of the camera shown, for a window of width x height pixels. The demo's camera
    /// has the demo's projection (near 1, far 300000) for its frustum query and one that reaches
    /// past the root sphere for its picture; the orbit camera has one projection for both, which
    /// holds the whole root sphere and keeps the depth buffer fine enough near the scene.
    CameraMatrices matrices(const CameraPose& pose, int width, int height, bool forQuery) const;

private:
    CameraKind shown = CameraKind::Orbit;
    SceneBounds bounds;
    float distance = 10000.0f;
    float zoom = 1.0f;
};

/// Where the eye looks, as a unit vector in the world, for a modelview of rotations and
/// translations.
Vector3 viewDirection(const float modelview[16]);

/// The size in pixels of one unit at distance 1 along the view axis, for a perspective
/// projection and a window height in pixels.
float pixelsPerUnit(const float projection[16], int height);

} // namespace spheres
