#include "view/ClipSlab.h"

#include <cmath>

namespace spheres {

void ClipSlab::move(int step) {
    at = ((at + step) % (steps + 1) + steps + 1) % (steps + 1);
}

void ClipSlab::place(const SceneBounds& bounds, const Vector3& direction) {
    normal = direction;
    halfThickness = bounds.radius / steps;
    // Slice k of steps runs from -r + (k - 1) 2r / steps to -r + k 2r / steps along direction.
    middle = normal.dot(bounds.center) - bounds.radius + (2.0f * at - 1.0f) * halfThickness;
}

bool ClipSlab::reaches(const Vector3& center, float radius) const {
    return at == 0 || std::fabs(normal.dot(center) - middle) <= halfThickness + radius;
}

bool ClipSlab::section(const Vector3& center, float radius, Vector3& sectionCenter,
                       float& sectionRadius) const {
    float height = normal.dot(center) - middle;
    if (at == 0 || !(std::fabs(height) < radius)) {
        return false;
    }
    sectionCenter = center - normal * height;
    sectionRadius = std::sqrt(radius * radius - height * height);
    return true;
}

} // namespace spheres
