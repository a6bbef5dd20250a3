#pragma once

#include "math/Vector3.h"

namespace spheres {

class Body;
class QuerySphereTree;

/// A ray with a unit direction.
struct Ray {
    Vector3 origin;
    Vector3 direction;
};

/// The ray from the eye through window pixel (x, y), counted from the top left as GLUT reports
/// the mouse, for a window of width x height pixels seen through a symmetric perspective
/// projection and a modelview of rotations and translations (column-major, as GL keeps them).
Ray mouseRay(const float projection[16], const float modelview[16], int width, int height, int x,
             int y);

/// Where the eye is in the world, for a modelview matrix made of rotations and translations.
Vector3 eyePosition(const float modelview[16]);

/// The body a click along ray picks: among the bodies the tree's own queryRay reports, the one
/// whose drawn sphere (present position and radius) the ray enters nearest the eye; the first
/// such body on a tie, null when the ray enters none.
Body* pickBody(QuerySphereTree& tree, const Ray& ray);

} // namespace spheres
