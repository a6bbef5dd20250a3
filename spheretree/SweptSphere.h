#pragma once

#include "body/Body.h"

#include <cmath>
#include <cstddef>

namespace spheres {

/// Asks for every cache line of body's fields (those a sweep query reads lie in two or three):
/// addresses less than a line apart from the first byte to the last skip none.
inline void fetchBody(const Body* body) {
    const char* at = reinterpret_cast<const char*>(body);
    for (std::size_t offset = 0; offset < sizeof(Body) - 1; offset += 63) {
        __builtin_prefetch(at + offset);
    }
    __builtin_prefetch(at + sizeof(Body) - 1);
}

/// A body's values as its sweep query reads them, once per query, and the exact moving-sphere
/// contact test that the tree runs on every leaf it reaches (and brute-force references on every
/// pair).
struct SweptSphere {
    Body* body;
    float radius;
    Vector3 position;
    Vector3 previousPosition;
    Vector3 displacement;

    explicit SweptSphere(Body* body)
        : body(body), radius(body->getRadius()), position(body->getPosition()),
          previousPosition(body->getPreviousPosition()), displacement(position - previousPosition) {
    }

    /// Whether this sphere and other's, each moving straight from its previous to its present
    /// position over the last step, first touch at a step fraction t within -0.001..1.001; other
    /// must be another body. Without relative motion no contact is reported, overlapping or not.
    bool contactTime(Body* other, float& t) const {
        float otherRadius = other->getRadius();
        Vector3 otherPosition = other->getPosition();
        Vector3 otherPrevious = other->getPreviousPosition();

        // This body relative to the other at step fraction tau is w + tau * v; contact is
        // |w + tau * v| = R, a quadratic in tau.
        Vector3 v = displacement - (otherPosition - otherPrevious);
        Vector3 w = previousPosition - otherPrevious;
        float reach = otherRadius + radius;
        float a = v.dot(v);
        float b = 2.0f * v.dot(w);
        float c = w.dot(w) - reach * reach;
        float disc = b * b - 4.0f * a * c;
        if (disc < 0.0f || a == 0.0f) {
            return false;
        }
        t = (-b - std::sqrt(disc)) / (2.0f * a);
        return !(t < -0.001f || t > 1.0f + 0.001f);
    }
};

} // namespace spheres
