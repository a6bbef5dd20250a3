#pragma once

// Shared by the core tests: a fixed-seed generator, factories, scenes and brute-force queries.

#include "body/CollisionResponse.h"
#include "body/SphereBody.h"
#include "frustum/Frustum.h"
#include "spheretree/QuerySphereTree.h"
#include "spheretree/TreeChecker.h"
#include "world/World.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <deque>
#include <string>

inline bool operator==(const Vector3& a, const Vector3& b) {
    return a.x == b.x && a.y == b.y && a.z == b.z;
}

/// XorShift32: the same sequence with every compiler and library.
struct TestRandom {
    std::uint32_t state;

    int nextInt(int n) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return static_cast<int>(state % static_cast<std::uint32_t>(n));
    }
    float nextFloat(float lo, float hi) {
        return lo + (hi - lo) * (static_cast<float>(nextInt(1 << 24)) * (1.0f / 16777216.0f));
    }
    /// Each axis in [-extent, extent), whole if asked; drawn z, y, x in a fixed order.
    Vector3 nextVector(float extent, bool whole = false) {
        auto draw = [&] {
            return whole ? static_cast<float>(nextInt(2 * static_cast<int>(extent))) - extent
                         : nextFloat(-extent, extent);
        };
        float z = draw();
        float y = draw();
        return Vector3(draw(), y, z);
    }
};

/// A body that moved from previous to position and has the given velocity.
inline SphereBody makeBody(const Vector3& previous, const Vector3& position, float radius,
                           const Vector3& velocity = Vector3::zero) {
    SphereBody body(previous, radius);
    body.setPosition(position);
    body.setVelocity(velocity);
    return body;
}

/// A body as the program's scene makes them, its velocity times speedScale.
inline SphereBody makeSceneBody(TestRandom& random, float speedScale = 1.0f) {
    float radius = static_cast<float>(random.nextInt(1000)) + 50.0f;
    SphereBody body(random.nextVector(5000.0f, true), radius);
    body.setVelocity(random.nextVector(500.0f, true) * speedScale);
    body.setAcceleration(body.getVelocity() * -0.1f);
    body.setMass(static_cast<float>(random.nextInt(1000)));
    return body;
}

/// The program's frame without the camera: a step, then each body's earliest contact.
template <class Bodies> void runFrame(World& world, Bodies& bodies) {
    world.step(0.1f);
    for (SphereBody& body : bodies) {
        BodyList hits;
        TimeList times;
        world.querySweep(&body, hits, times);
        resolveEarliestContact(&body, hits, times);
    }
}

/// Column-major matrices: a translation, and the program's projection computed in double.
using Matrix = std::array<float, 16>;
inline Matrix translation(float x, float y, float z) {
    return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1};
}
inline Matrix programPerspective() {
    double f = 1.0 / std::tan(75.0 * 3.14159265358979323846 / 360.0), n = 1.0, far = 300000.0;
    Matrix m = translation(0.0f, 0.0f, static_cast<float>(2.0 * far * n / (n - far)));
    m[0] = static_cast<float>(f / (640.0 / 480.0));
    m[5] = static_cast<float>(f);
    m[10] = static_cast<float>((far + n) / (n - far));
    m[11] = -1.0f;
    m[15] = 0.0f;
    return m;
}

/// A tree over bodies at rest that it keeps, for small scenes built by hand.
struct TreeScene {
    QuerySphereTree tree;
    std::deque<SphereBody> bodies;

    /// Inserts a body at rest and returns its leaf, whose sphere will have radius + 0.001.
    TreeNode* add(float x, float radius) { return add(Vector3(x, 0.0f, 0.0f), radius); }
    TreeNode* add(const Vector3& position, float radius) {
        bodies.push_back(makeBody(position, position, radius));
        tree.insert(&bodies.back());
        return tree.getLeaves().back();
    }
    /// Puts leaf's body at rest at (x, 0, 0).
    static void moveTo(TreeNode* leaf, float x) {
        leaf->body->setPosition(Vector3(x, 0.0f, 0.0f));
        leaf->body->setPosition(Vector3(x, 0.0f, 0.0f));
    }
    /// Updates the tree and returns what the checker finds wrong ("" for nothing).
    std::string update() {
        tree.update();
        return checkTree(tree);
    }
};

// Each query's own test at one node: on a leaf a result and its time, on an inner node whether
// the walk goes below it. run() asks the tree.
inline bool overlaps(const Vector3& center, float radius, const TreeNode& node) { // not touching
    float reach = radius + node.radius;
    return !(reach * reach <= (center - node.center).lengthSquared());
}

/// The ray from start through end (direction normalised), or the segment between them.
struct LineQuery {
    Vector3 start, end;
    bool segment;
    bool accepts(const TreeNode& node, float& time) const {
        Vector3 d = end - start, l = node.center - start;
        float l2 = l.lengthSquared(), r2 = node.radius * node.radius;
        time = 0.0f;
        if (!(d.lengthSquared() > 0.0f)) { // a zero-length segment: strictly inside only
            return l2 < r2;
        }
        float k = segment ? 1.0f / d.length() : 1.0f, s = l.dot(d.normalized());
        float q = std::sqrt(std::fmax(r2 - (l2 - s * s), 0.0f)), t0 = (s - q) * k, t1 = (s + q) * k;
        time = l2 < r2 ? t1 : t0;
        // From outside: both ends before the start, or both beyond the end.
        bool outside = segment && !(l2 < r2) && (t1 + 0.001f < 0.0f || t0 - 0.001f > 1.0f);
        return !((s < 0.0f && l2 > r2) || l2 - s * s > r2 || outside);
    }
    void run(QuerySphereTree& t, BodyList& b, TimeList& s) const {
        if (segment) {
            t.querySegment(start, end, b, s);
        } else {
            t.queryRay(start, (end - start).normalized(), b, s);
        }
    }
};

/// Leaves are tested with the body's present sphere, inner nodes with their own.
struct FrustumQuery {
    const Frustum* frustum;
    bool accepts(const TreeNode& node, float&) const {
        bool leaf = node.flags & TreeNodeFlags::Leaf, inside = true;
        Vector3 c = leaf ? node.body->getPosition() : node.center;
        float r = leaf ? node.body->getRadius() : node.radius;
        for (int i = 0; i < 6; ++i) {
            const Plane& p = *frustum->getPlane(i);
            inside = inside && !(p.a * c.x + p.b * c.y + p.c * c.z + p.d + r < 0.0f);
        }
        return inside;
    }
    void run(QuerySphereTree& t, BodyList& b, TimeList&) const { t.queryFrustum(*frustum, b); }
};

struct SphereQuery {
    Vector3 center;
    float radius;
    bool accepts(const TreeNode& node, float&) const { return overlaps(center, radius, node); }
    void run(QuerySphereTree& t, BodyList& b, TimeList&) const { t.querySphere(center, radius, b); }
};

/// The moving-sphere contact on leaves; the body's present sphere against inner nodes.
struct SweepQuery {
    Body* body;
    bool accepts(const TreeNode& node, float& time) const {
        if (!(node.flags & TreeNodeFlags::Leaf)) {
            return overlaps(body->getPosition(), body->getRadius(), node);
        }
        Body* other = node.body;
        Vector3 v = (body->getPosition() - body->getPreviousPosition()) -
                    (other->getPosition() - other->getPreviousPosition());
        Vector3 w = body->getPreviousPosition() - other->getPreviousPosition();
        float reach = other->getRadius() + body->getRadius(), a = v.dot(v), b = 2.0f * v.dot(w);
        float disc = b * b - 4.0f * a * (w.dot(w) - reach * reach);
        if (other == body || disc < 0.0f || a == 0.0f) {
            return false;
        }
        time = (-b - std::sqrt(disc)) / (2.0f * a);
        return !(time < -0.001f || time > 1.0f + 0.001f);
    }
    void run(QuerySphereTree& t, BodyList& b, TimeList& s) const { t.querySweep(body, b, s); }
};
