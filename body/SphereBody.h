#pragma once

#include "body/Body.h"

namespace spheres {

/// The concrete body: a sphere of mass 1 at rest until set up otherwise.
class SphereBody final : public Body {
public:
    SphereBody(Vector3 position, float radius);
    SphereBody(const SphereBody&) = default;
    SphereBody& operator=(const SphereBody&) = default;
    ~SphereBody() = default;

    Body* getPrototype() override;

    /// At the origin with radius 0; built during static initialisation and never changed.
    static SphereBody prototype;
};

} // namespace spheres
