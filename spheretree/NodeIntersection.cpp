#include "spheretree/NodeIntersection.h"

namespace spheres {

// The per-node tests again in double, for finite arguments whose squares overflow in floats. A
// float squared stays far inside the range of a double, so no square overflows here. The squared
// distance of the centre from the line is taken from the perpendicular vector, not as l2 - s^2,
// which loses it when the centre lies far along the line.

namespace {

struct Wide {
    double x, y, z;
    Wide(const Vector3& v) : x(v.x), y(v.y), z(v.z) {}
    Wide(double x, double y, double z) : x(x), y(y), z(z) {}
    Wide operator-(const Wide& v) const { return Wide(x - v.x, y - v.y, z - v.z); }
    Wide operator*(double s) const { return Wide(x * s, y * s, z * s); }
    double dot(const Wide& v) const { return x * v.x + y * v.y + z * v.z; }
};

/// The line from an origin along unit, with the sphere's centre at l from the origin (l2 = |l|²,
/// r2 = radius²): s is how far along the line the centre lies, m2 its squared distance from the
/// line. False when the sphere lies wholly behind the origin or the line passes it by.
bool lineReachesSphere(const Wide& l, double l2, const Wide& unit, double r2, double& s,
                       double& m2) {
    s = l.dot(unit);
    if (s < 0.0 && l2 > r2) {
        return false;
    }
    Wide off = l - unit * s;
    m2 = off.dot(off);
    return m2 <= r2;
}

} // namespace

bool sphereMissesNodeWide(const Vector3& center, float radius, const Vector3& nodeCenter,
                          float nodeRadius) {
    Wide d = Wide(center) - Wide(nodeCenter);
    double reach = static_cast<double>(nodeRadius) + radius;
    return reach * reach <= d.dot(d);
}

bool rayHitsSphereWide(const Vector3& origin, const Vector3& direction, const Vector3& center,
                       float radius, float* distance) {
    Wide l = Wide(center) - Wide(origin);
    double l2 = l.dot(l);
    double r2 = static_cast<double>(radius) * radius;
    double s, m2;
    if (!lineReachesSphere(l, l2, Wide(direction), r2, s, m2)) {
        return false;
    }
    if (distance) {
        double q = std::sqrt(r2 - m2);
        *distance = static_cast<float>(l2 < r2 ? s + q : s - q);
    }
    return true;
}

Segment::Segment(const Vector3& start, const Vector3& end) : start(start), direction(end - start) {
    Wide d = Wide(end) - Wide(start);
    length = std::sqrt(d.dot(d));
    if (length > 0.0) {
        wideDirection[0] = d.x / length;
        wideDirection[1] = d.y / length;
        wideDirection[2] = d.z / length;
    }
    float lengthSquared = direction.lengthSquared();
    if (lengthSquared == INFINITY) {
        isLong = true;
        direction =
            Vector3(static_cast<float>(wideDirection[0]), static_cast<float>(wideDirection[1]),
                    static_cast<float>(wideDirection[2]));
        inverseLength = static_cast<float>(1.0 / length);
    } else if (lengthSquared > 0.0f) {
        inverseLength = 1.0f / direction.length();
        direction.normalize();
    } else {
        // No length to normalise: the segment is tested as its start point.
        isPoint = true;
    }
}

bool Segment::hitsSphereWide(const Vector3& center, float radius, float& time) const {
    Wide l = Wide(center) - Wide(start);
    double l2 = l.dot(l);
    double r2 = static_cast<double>(radius) * radius;
    if (isPoint) {
        time = 0.0f;
        return l2 < r2;
    }
    Wide unit(wideDirection[0], wideDirection[1], wideDirection[2]);
    double s, m2;
    if (!lineReachesSphere(l, l2, unit, r2, s, m2)) {
        return false;
    }
    double q = std::sqrt(r2 - m2);
    double t0 = (s - q) / length;
    double t1 = (s + q) / length;
    if (l2 >= r2) {
        double tolerance = 0.001f;
        if (t0 + tolerance < 0.0 && t1 + tolerance < 0.0) {
            return false;
        }
        if (t0 - tolerance > 1.0 && t1 - tolerance > 1.0) {
            return false;
        }
        time = static_cast<float>(t0);
    } else {
        time = static_cast<float>(t1);
    }
    return true;
}

} // namespace spheres
