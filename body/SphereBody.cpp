#include "body/SphereBody.h"

namespace spheres {

SphereBody SphereBody::prototype(Vector3::zero, 0.0f);

SphereBody::SphereBody(Vector3 position, float radius) : Body() {
    mass = 1.0f;
    this->position = position;
    this->radius = radius;
}

Body* SphereBody::getPrototype() {
    return &prototype;
}

} // namespace spheres
