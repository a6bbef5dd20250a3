#pragma once

// Helpers shared by the core tests: a fixed-seed generator, body and matrix factories, a small
// scene builder, the program's frame, and a brute-force reference for the tree's five queries.

#include "body/CollisionResponse.h"
#include "body/SphereBody.h"
#include "frustum/Frustum.h"
#include "spheretree/QuerySphereTree.h"
#include "spheretree/TreeChecker.h"
#include "world/World.h"

#include <cmath>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

inline bool operator==(const Vector3& a, const Vector3& b) {
    return a.x == b.x && a.y == b.y && a.z == b.z;
}

/// XorShift32: the same sequence with every compiler and library.
class TestRandom {
public:
    explicit TestRandom(std::uint32_t seed) : state(seed) {}
    int nextInt(int n) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return static_cast<int>(state % static_cast<std::uint32_t>(n));
    }
    float nextFloat(float lo, float hi) {
        return lo + (hi - lo) * (static_cast<float>(nextInt(1 << 24)) * (1.0f / 16777216.0f));
    }
    /// Each axis uniform in [-extent, extent), or a whole number there; drawn z first, so
    /// that the order is the same with every compiler.
    Vector3 nextVector(float extent, bool whole = false) {
        auto draw = [&] {
            return whole ? static_cast<float>(nextInt(2 * static_cast<int>(extent))) - extent
                         : nextFloat(-extent, extent);
        };
        float z = draw();
        float y = draw();
        return Vector3(draw(), y, z);
    }

private:
    std::uint32_t state;
};

/// A body that moved from previous to position and has the given velocity.
inline SphereBody makeBody(const Vector3& previous, const Vector3& position, float radius,
                           const Vector3& velocity = Vector3::zero) {
    SphereBody body(previous, radius);
    body.setPosition(position);
    body.setVelocity(velocity);
    return body;
}

/// A body as the program's scene makes them: radius 50..1049, position -5000..4999 per axis,
/// velocity -500..499 times speedScale, acceleration -0.1 x velocity, mass 0..999.
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

/// Column-major translation, and gluPerspective's matrix from its formula in double.
inline void translationMatrix(float x, float y, float z, float out[16]) {
    for (int i = 0; i < 16; ++i) {
        out[i] = i % 5 == 0 ? 1.0f : 0.0f;
    }
    out[12] = x;
    out[13] = y;
    out[14] = z;
}
inline void perspectiveMatrix(double fovyDegrees, double aspect, double zNear, double zFar,
                              float out[16]) {
    double f = 1.0 / std::tan(fovyDegrees * 3.14159265358979323846 / 360.0);
    translationMatrix(0.0f, 0.0f, static_cast<float>(2.0 * zFar * zNear / (zNear - zFar)), out);
    out[0] = static_cast<float>(f / aspect);
    out[5] = static_cast<float>(f);
    out[10] = static_cast<float>((zFar + zNear) / (zNear - zFar));
    out[11] = -1.0f;
    out[15] = 0.0f;
}

/// Every leaf reachable from node, escaped ones included, in the queries' depth-first order.
inline void collectLeaves(TreeNode* node, std::vector<TreeNode*>& out) {
    if (node->flags & TreeNodeFlags::Leaf) {
        out.push_back(node);
    }
    for (TreeNode* child : node->children) {
        collectLeaves(child, out);
    }
}

/// A tree over bodies it does not own, for small scenes built by hand.
struct TreeScene {
    QuerySphereTree tree;
    std::deque<SphereBody> bodies;

    /// Inserts a body at rest at (x, 0, 0) and returns its leaf, whose sphere will be centred
    /// there with radius + 0.001.
    TreeNode* add(float x, float radius) { return add(Vector3(x, 0.0f, 0.0f), radius); }
    TreeNode* add(const Vector3& position, float radius) {
        bodies.push_back(makeBody(position, position, radius));
        tree.insert(&bodies.back());
        return tree.getLeaves().back();
    }
    /// Puts leaf's body at rest at (x, 0, 0), so that its next swept sphere is centred there.
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

// Each query has accepts(node, time): the tree's own test at a node, which on a leaf decides a
// result and its time, and on an inner node whether the walk goes below it.
using Tree = QuerySphereTree;

/// Whether the sphere (center, radius) overlaps node's sphere; touching does not count.
inline bool overlaps(const Vector3& center, float radius, const TreeNode& node) {
    Vector3 d = center - node.center;
    float reach = radius + node.radius;
    return !(reach * reach <= d.lengthSquared());
}

/// The line from origin along the unit direction against node's sphere: the distance s to the
/// closest point, the half chord q; false when the sphere is behind an outside origin or missed.
inline bool lineMeets(const TreeNode& node, const Vector3& origin, const Vector3& direction,
                      float& s, float& q, bool& inside) {
    Vector3 l = node.center - origin;
    float l2 = l.lengthSquared();
    float r2 = node.radius * node.radius;
    s = l.dot(direction);
    inside = l2 < r2;
    q = std::sqrt(std::fmax(r2 - (l2 - s * s), 0.0f));
    return !((s < 0.0f && l2 > r2) || l2 - s * s > r2);
}

struct RayQuery {
    Vector3 origin, direction;
    bool accepts(const TreeNode& node, float& time) const {
        float s, q;
        bool inside;
        bool met = lineMeets(node, origin, direction, s, q, inside);
        time = inside ? s + q : s - q;
        return met;
    }
    void run(Tree& t, BodyList& b, TimeList& s) const { t.queryRay(origin, direction, b, s); }
};

struct SegmentQuery {
    Vector3 start, end;
    bool accepts(const TreeNode& node, float& time) const {
        Vector3 d = end - start;
        time = 0.0f;
        if (!(d.lengthSquared() > 0.0f)) { // a point: strictly inside only
            return (node.center - start).lengthSquared() < node.radius * node.radius;
        }
        float k = 1.0f / d.length();
        float s, q;
        bool inside;
        bool met = lineMeets(node, start, d.normalized(), s, q, inside);
        float t0 = (s - q) * k;
        float t1 = (s + q) * k;
        time = inside ? t1 : t0;
        bool before = t0 + 0.001f < 0.0f && t1 + 0.001f < 0.0f;
        bool beyond = t0 - 0.001f > 1.0f && t1 - 0.001f > 1.0f;
        return met && (inside || !(before || beyond));
    }
    void run(Tree& t, BodyList& b, TimeList& s) const { t.querySegment(start, end, b, s); }
};

/// Leaves are tested with the body's present sphere, inner nodes with their own.
struct FrustumQuery {
    const Frustum* frustum;
    bool accepts(const TreeNode& node, float&) const {
        bool leaf = node.flags & TreeNodeFlags::Leaf;
        Vector3 c = leaf ? node.body->getPosition() : node.center;
        float r = leaf ? node.body->getRadius() : node.radius;
        for (int i = 0; i < 6; ++i) {
            const Plane& p = *frustum->getPlane(i);
            if (p.a * c.x + p.b * c.y + p.c * c.z + p.d + r < 0.0f) {
                return false;
            }
        }
        return true;
    }
    void run(Tree& t, BodyList& b, TimeList&) const { t.queryFrustum(*frustum, b); }
};

struct SphereQuery {
    Vector3 center;
    float radius;
    bool accepts(const TreeNode& node, float&) const { return overlaps(center, radius, node); }
    void run(Tree& t, BodyList& b, TimeList&) const { t.querySphere(center, radius, b); }
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
        float reach = other->getRadius() + body->getRadius();
        float a = v.dot(v);
        float b = 2.0f * v.dot(w);
        float disc = b * b - 4.0f * a * (w.dot(w) - reach * reach);
        if (other == body || disc < 0.0f || a == 0.0f) {
            return false;
        }
        time = (-b - std::sqrt(disc)) / (2.0f * a);
        return !(time < -0.001f || time > 1.0f + 0.001f);
    }
    void run(Tree& t, BodyList& b, TimeList& s) const { t.querySweep(body, b, s); }
};

/// How a tree query compares with the brute-force reference.
struct ReferenceComparison {
    bool matches = true;  ///< the tree appended exactly the unpruned reference hits, in order
    int hits = 0;         ///< results the tree reported
    int prunedMisses = 0; ///< leaves the exact test accepts below an ancestor the walk rejects
};

/// Runs the query and checks that it appends, after the entries already in the lists, exactly
/// the reference hits that no ancestor prunes, depth first, with bit-identical times if any.
template <class Query> ReferenceComparison compareWithReference(Tree& tree, const Query& query) {
    ReferenceComparison result;
    BodyList bodies{nullptr}, expected{nullptr};
    TimeList times{-1.0f}, expectedTimes{-1.0f};
    std::vector<TreeNode*> leaves;
    collectLeaves(tree.getRoot(), leaves);
    for (TreeNode* leaf : leaves) {
        float time = 0.0f;
        bool pruned = false;
        for (const TreeNode* node = leaf->parent; node != nullptr && !pruned; node = node->parent) {
            pruned = !query.accepts(*node, time);
        }
        if (query.accepts(*leaf, time)) {
            result.prunedMisses += pruned ? 1 : 0;
            if (!pruned) {
                expected.push_back(leaf->body);
                expectedTimes.push_back(time);
            }
        }
    }
    query.run(tree, bodies, times);
    result.hits = static_cast<int>(bodies.size()) - 1;
    // Queries without times leave the time list as it was.
    result.matches = bodies == expected && (times.size() == 1 || times == expectedTimes);
    return result;
}
