#pragma once

#include "math/Vector3.h"
#include "view/ViewCamera.h"

namespace spheres {

/// A slab of the framed scene, facing the eye, that the view can move through the scene step by
/// step: while it is in place only the bodies that reach into it are drawn, and each bounding
/// sphere as its section with the slab's middle plane, so that the inside of a large tree shows
/// one slice at a time, its levels as nested circles.
class ClipSlab {
public:
    /// Positions through the framed sphere; each slab is as thick as its diameter over this.
    static constexpr int steps = 16;

    /// Moves the slab by step positions: from off to the nearest slice, on to the farthest, then
    /// off again (and the other way for a negative step).
    void move(int step);
    /// 0 when off, otherwise 1 (nearest the eye) to steps.
    int position() const { return at; }
    bool active() const { return at != 0; }

    /// Lays the slab across bounds at its position, perpendicular to direction (a unit vector
    /// from the eye into the scene).
    void place(const SceneBounds& bounds, const Vector3& direction);
    /// Whether the sphere (center, radius) reaches into the slab; every sphere does when the slab
    /// is off. Touching counts.
    bool reaches(const Vector3& center, float radius) const;
    /// The circle in which the sphere (center, radius) cuts the slab's middle plane, as the
    /// sphere around that circle (sectionCenter, sectionRadius); false when the sphere does not
    /// reach the plane (touching does not count) or the slab is off.
    bool section(const Vector3& center, float radius, Vector3& sectionCenter,
                 float& sectionRadius) const;

private:
    int at = 0;
    Vector3 normal{0.0f, 0.0f, 1.0f};
    /// The slab is where normal . p lies within halfThickness of middle.
    float middle = 0.0f;
    float halfThickness = 0.0f;
};

} // namespace spheres
