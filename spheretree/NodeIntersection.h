#pragma once

#include "math/Plane.h"
#include "math/Vector3.h"

#include <cmath>

namespace spheres {

// The per-node tests of the tree's queries, written once: the tree's walks, its query snapshot,
// the brute-force frame and the tests' references all call these. Each is the literal test the
// query applies to one node's sphere; a NaN in a node's sphere passes a test written as "reject
// when outside", as it always has (the queries reject non-finite query inputs before walking).
//
// Finite arguments far apart (beyond about 1.8e19) overflow a square to infinity, where the float
// test would answer wrongly or make a NaN. Only then the test runs again in double (the *Wide
// functions, out of line): every result whose squares stay finite is the float test's own.

/// The tests below in double, for arguments whose squares overflow in floats.
bool sphereMissesNodeWide(const Vector3& center, float radius, const Vector3& nodeCenter,
                          float nodeRadius);
bool rayHitsSphereWide(const Vector3& origin, const Vector3& direction, const Vector3& center,
                       float radius, float* distance);

/// Whether the sphere (center, radius) misses the node sphere (nodeCenter, nodeRadius): the sum
/// of the radii squared is at most the squared distance, so touching spheres miss. The float
/// test alone, for the sweep query's pruning: right while the squared distance stays finite
/// (centres within about 1.8e19 of each other) or the reach does.
inline bool sphereMissesNode(const Vector3& center, float radius, const Vector3& nodeCenter,
                             float nodeRadius) {
    Vector3 d = center - nodeCenter;
    float reach = nodeRadius + radius;
    return reach * reach <= d.lengthSquared();
}

/// sphereMissesNode for spheres of any finite size and distance: the sphere query's test.
inline bool sphereMissesNodeAnywhere(const Vector3& center, float radius, const Vector3& nodeCenter,
                                     float nodeRadius) {
    Vector3 d = center - nodeCenter;
    float reach = nodeRadius + radius;
    float d2 = d.lengthSquared();
    // An overflowing reach alone answers right (the spheres overlap); a squared distance that
    // overflows too would answer "misses", however far the reach.
    if (d2 == INFINITY) {
        return sphereMissesNodeWide(center, radius, nodeCenter, nodeRadius);
    }
    return reach * reach <= d2;
}

/// Whether the sphere (center, radius) lies wholly on the outer side of plane; a sphere that
/// touches it from outside (value exactly 0) does not.
inline bool sphereOutsidePlane(const Plane& plane, const Vector3& center, float radius) {
    return plane.a * center.x + plane.b * center.y + plane.c * center.z + plane.d + radius < 0.0f;
}

/// Whether the ray from origin along the unit direction meets the sphere (center, radius). On a
/// hit, distance (when not null) receives the distance to the entry point, or to the exit point
/// when the origin lies strictly inside; an origin on the sphere counts as outside.
inline bool rayHitsSphere(const Vector3& origin, const Vector3& direction, const Vector3& center,
                          float radius, float* distance) {
    Vector3 l = center - origin;
    float l2 = l.lengthSquared();
    float r2 = radius * radius;
    if ((l2 == INFINITY) | (r2 == INFINITY)) {
        return rayHitsSphereWide(origin, direction, center, radius, distance);
    }
    float s = l.dot(direction);
    // Behind an origin that lies outside the sphere, or passed by at more than the radius.
    if (s < 0.0f && l2 > r2) {
        return false;
    }
    float ss = s * s;
    if (ss == INFINITY) { // l2 just below the float limit, direction slightly over unit length
        return rayHitsSphereWide(origin, direction, center, radius, distance);
    }
    float m2 = l2 - ss;
    if (m2 > r2) {
        return false;
    }
    if (distance) {
        float q = std::sqrt(r2 - m2);
        *distance = l2 < r2 ? s + q : s - q;
    }
    return true;
}

/// A segment as its query reads it once: start, unit direction, reciprocal length, and whether it
/// has no length (then it is tested as the point start). A segment whose squared length is zero
/// in floats (shorter than about 1e-22) counts as a point.
struct Segment {
    Vector3 start;
    Vector3 direction;
    float inverseLength = 0.0f;
    bool isPoint = false;
    /// Longer than about 1.8e19: its squared length overflows, so every test runs in double.
    bool isLong = false;
    /// The segment in double, for the tests that run in double: its unit direction and length.
    double wideDirection[3] = {0.0, 0.0, 0.0};
    double length = 0.0;

    Segment(const Vector3& start, const Vector3& end);

    /// Whether the segment meets the sphere (center, radius), within a tolerance of 0.001 segment
    /// lengths at either end. On a hit, time receives the segment parameter (0 at start, 1 at
    /// end) where it enters the sphere, or leaves it when start lies strictly inside; a point
    /// hits at time 0 only when it lies strictly inside.
    bool hitsSphere(const Vector3& center, float radius, float& time) const {
        Vector3 l = center - start;
        float l2 = l.lengthSquared();
        float r2 = radius * radius;
        if (isLong | (l2 == INFINITY) | (r2 == INFINITY)) {
            return hitsSphereWide(center, radius, time);
        }
        if (isPoint) {
            time = 0.0f;
            return l2 < r2;
        }
        float s = l.dot(direction);
        if (s < 0.0f && l2 > r2) {
            return false;
        }
        float m2 = l2 - s * s;
        if (m2 > r2) {
            return false;
        }
        float q = std::sqrt(r2 - m2);
        if (l2 >= r2) {
            // Entry and exit parameters; the sphere must not lie wholly before the start or
            // wholly beyond the end.
            float t0 = (s - q) * inverseLength;
            float t1 = (s + q) * inverseLength;
            if (t0 + 0.001f < 0.0f && t1 + 0.001f < 0.0f) {
                return false;
            }
            if (t0 - 0.001f > 1.0f && t1 - 0.001f > 1.0f) {
                return false;
            }
            time = t0;
        } else {
            time = (s + q) * inverseLength;
        }
        return true;
    }

    /// hitsSphere in double.
    bool hitsSphereWide(const Vector3& center, float radius, float& time) const;
};

} // namespace spheres
