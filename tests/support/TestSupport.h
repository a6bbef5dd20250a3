#pragma once

// Helpers shared by the core tests: a fixed-seed generator, body and matrix factories, a small
// scene builder, and a brute-force reference for each of the tree's five queries.

#include "body/BodyList.h"
#include "body/SphereBody.h"
#include "frustum/Frustum.h"
#include "spheretree/QuerySphereTree.h"

#include <cmath>
#include <cstdint>
#include <deque>
#include <ostream>
#include <string>
#include <vector>

inline bool operator==(const Vector3& a, const Vector3& b) {
    return a.x == b.x && a.y == b.y && a.z == b.z;
}
inline std::ostream& operator<<(std::ostream& out, const Vector3& v) {
    return out << "(" << v.x << ", " << v.y << ", " << v.z << ")";
}

/// XorShift32: the same sequence with every compiler and library.
class TestRandom {
public:
    explicit TestRandom(std::uint32_t seed) : state(seed) {}
    std::uint32_t next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
    /// Uniform in [lo, hi), from the top 24 bits.
    float nextFloat(float lo, float hi) {
        return lo + (hi - lo) * (static_cast<float>(next() >> 8) * (1.0f / 16777216.0f));
    }
    int nextInt(int n) { return static_cast<int>(next() % static_cast<std::uint32_t>(n)); }
    /// Whole numbers n - offset, n in 0..range-1, drawn z first: one order for every compiler.
    Vector3 nextWholeVector(int range, float offset) {
        float z = static_cast<float>(nextInt(range)) - offset;
        float y = static_cast<float>(nextInt(range)) - offset;
        float x = static_cast<float>(nextInt(range)) - offset;
        return Vector3(x, y, z);
    }
    /// Uniform in [-extent, extent) per axis, drawn x first.
    Vector3 nextVector(float extent) {
        float x = nextFloat(-extent, extent);
        float y = nextFloat(-extent, extent);
        return Vector3(x, y, nextFloat(-extent, extent));
    }

private:
    std::uint32_t state;
};

/// A body that moved from previous to position and has the given velocity.
inline SphereBody makeBody(const Vector3& position, float radius,
                           const Vector3& velocity = Vector3::zero) {
    SphereBody body(position, radius);
    body.setPosition(position);
    body.setVelocity(velocity);
    return body;
}
inline SphereBody makeMovedBody(const Vector3& previous, const Vector3& position, float radius,
                                const Vector3& velocity) {
    SphereBody body(previous, radius);
    body.setPosition(position);
    body.setVelocity(velocity);
    return body;
}

/// The body radius whose swept sphere at rest has exactly the radius swept (radius + 0.001
/// rounded), so that a test can place a leaf sphere to the last bit.
inline float bodyRadiusForSweptRadius(float swept) {
    float radius = swept - 0.001f;
    while (radius + 0.001f < swept) {
        radius = std::nextafter(radius, swept);
    }
    while (radius + 0.001f > swept) {
        radius = std::nextafter(radius, 0.0f);
    }
    return radius;
}

/// A body as the program's scene makes them: radius 50..1049, position -5000..4999 per axis,
/// velocity -500..499 times speedScale, acceleration -0.1 x velocity, mass 0..999.
inline SphereBody makeSceneBody(TestRandom& random, float speedScale = 1.0f) {
    float radius = static_cast<float>(random.nextInt(1000)) + 50.0f;
    SphereBody body(random.nextWholeVector(10000, 5000.0f), radius);
    body.setVelocity(random.nextWholeVector(1000, 500.0f) * speedScale);
    body.setAcceleration(body.getVelocity() * -0.1f);
    body.setMass(static_cast<float>(random.nextInt(1000)));
    return body;
}

/// gluPerspective's matrix from its formula, computed in double, column-major floats.
inline void perspectiveMatrix(double fovyDegrees, double aspect, double zNear, double zFar,
                              float out[16]) {
    double f = 1.0 / std::tan(fovyDegrees * 3.14159265358979323846 / 360.0);
    for (int i = 0; i < 16; ++i) {
        out[i] = 0.0f;
    }
    out[0] = static_cast<float>(f / aspect);
    out[5] = static_cast<float>(f);
    out[10] = static_cast<float>((zFar + zNear) / (zNear - zFar));
    out[11] = -1.0f;
    out[14] = static_cast<float>(2.0 * zFar * zNear / (zNear - zFar));
}

/// A column-major translation matrix (the identity for 0, 0, 0).
inline void translationMatrix(float x, float y, float z, float out[16]) {
    for (int i = 0; i < 16; ++i) {
        out[i] = i % 5 == 0 ? 1.0f : 0.0f;
    }
    out[12] = x;
    out[13] = y;
    out[14] = z;
}

/// Every leaf reachable from node, escaped ones included, in the queries' depth-first order.
inline void collectReachableLeaves(TreeNode* node, std::vector<TreeNode*>& out) {
    if (node->flags & TreeNodeFlags::Leaf) {
        out.push_back(node);
    }
    for (TreeNode* child : node->children) {
        collectReachableLeaves(child, out);
    }
}
inline std::vector<TreeNode*> reachableLeaves(SphereTree& tree) {
    std::vector<TreeNode*> leaves;
    collectReachableLeaves(tree.getRoot(), leaves);
    return leaves;
}

/// A tree over bodies it does not own, for small scenes built by hand.
struct TreeScene {
    QuerySphereTree tree;
    std::deque<SphereBody> bodies;

    /// Inserts a body at rest: its leaf sphere will be centred there with radius + 0.001.
    Body* add(const Vector3& position, float radius) {
        bodies.push_back(makeBody(position, radius));
        tree.insert(&bodies.back());
        return &bodies.back();
    }
    /// Puts body at rest at position, so its next swept sphere is centred there.
    static void moveTo(Body* body, const Vector3& position) {
        body->setPosition(position);
        body->setPosition(position);
    }
    /// The body's listed leaf, else one reachable from the root; null if none.
    TreeNode* leafOf(Body* body) {
        std::vector<TreeNode*> leaves(tree.getLeaves().begin(), tree.getLeaves().end());
        collectReachableLeaves(tree.getRoot(), leaves);
        for (TreeNode* leaf : leaves) {
            if (leaf->body == body) {
                return leaf;
            }
        }
        return nullptr;
    }
};

// Each query below has accepts(node, time): the tree's own test at that node, which on a leaf
// decides a result (and its time) and on an inner node decides whether the walk goes below it.

/// Whether a sphere of radius around center overlaps node's sphere (touching does not count).
inline bool overlaps(const Vector3& center, float radius, const TreeNode& node) {
    Vector3 d = center - node.center;
    float reach = radius + node.radius;
    return !(reach * reach <= d.lengthSquared());
}

/// The line from origin along the unit direction against node's sphere: s to the closest point,
/// q the half chord; false when the sphere lies behind an outside origin or the line misses.
inline bool lineMeets(const TreeNode& node, const Vector3& origin, const Vector3& direction,
                      float& s, float& q, bool& inside) {
    Vector3 l = node.center - origin;
    float l2 = l.lengthSquared();
    float r2 = node.radius * node.radius;
    s = l.dot(direction);
    if ((s < 0.0f && l2 > r2) || l2 - s * s > r2) {
        return false;
    }
    q = std::sqrt(r2 - (l2 - s * s));
    inside = l2 < r2;
    return true;
}

struct RayQuery {
    static constexpr bool timed = true;
    Vector3 origin;
    Vector3 direction;
    bool accepts(const TreeNode& node, float& time) const {
        float s, q;
        bool inside;
        if (!lineMeets(node, origin, direction, s, q, inside)) {
            return false;
        }
        time = inside ? s + q : s - q;
        return true;
    }
    void run(QuerySphereTree& tree, BodyList& b, TimeList& t) const {
        tree.queryRay(origin, direction, b, t);
    }
};

struct SegmentQuery {
    static constexpr bool timed = true;
    Vector3 start;
    Vector3 end;
    bool accepts(const TreeNode& node, float& time) const {
        Vector3 d = end - start;
        time = 0.0f;
        if (!(d.lengthSquared() > 0.0f)) { // a point: strictly inside only
            return (node.center - start).lengthSquared() < node.radius * node.radius;
        }
        float k = 1.0f / d.length();
        float s, q;
        bool inside;
        if (!lineMeets(node, start, d.normalized(), s, q, inside)) {
            return false;
        }
        float t0 = (s - q) * k;
        float t1 = (s + q) * k;
        time = inside ? t1 : t0;
        bool before = t0 + 0.001f < 0.0f && t1 + 0.001f < 0.0f;
        bool beyond = t0 - 0.001f > 1.0f && t1 - 0.001f > 1.0f;
        return inside || !(before || beyond);
    }
    void run(QuerySphereTree& tree, BodyList& b, TimeList& t) const {
        tree.querySegment(start, end, b, t);
    }
};

/// Leaves are tested with the body's present sphere, inner nodes with their own.
struct FrustumQuery {
    static constexpr bool timed = false;
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
    void run(QuerySphereTree& tree, BodyList& b, TimeList&) const {
        tree.queryFrustum(*frustum, b);
    }
};

struct SphereQuery {
    static constexpr bool timed = false;
    Vector3 center;
    float radius;
    bool accepts(const TreeNode& node, float&) const { return overlaps(center, radius, node); }
    void run(QuerySphereTree& tree, BodyList& b, TimeList&) const {
        tree.querySphere(center, radius, b);
    }
};

/// The moving-sphere contact on leaves; the body's present sphere against inner nodes.
struct SweepQuery {
    static constexpr bool timed = true;
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
    void run(QuerySphereTree& tree, BodyList& b, TimeList& t) const { tree.querySweep(body, b, t); }
};

/// How a tree query compares with the brute-force reference.
struct ReferenceComparison {
    int hits = 0;         ///< results the tree reported
    int prunedMisses = 0; ///< leaves the exact test accepts below an ancestor the walk rejects
    std::string mismatch; ///< "" when the tree reported exactly the unpruned reference hits
};

/// Runs the query on the tree and checks that it appends exactly the reference hits that no
/// ancestor prunes, in depth-first order with bit-identical times, after the entries it was given.
template <class Query>
ReferenceComparison compareWithReference(QuerySphereTree& tree, const Query& query) {
    struct Hit {
        Body* body;
        float time;
    };
    std::vector<Hit> expected;
    ReferenceComparison result;
    for (TreeNode* leaf : reachableLeaves(tree)) {
        float time = 0.0f;
        if (!query.accepts(*leaf, time)) {
            continue;
        }
        bool pruned = false;
        for (const TreeNode* node = leaf->parent; node != nullptr && !pruned; node = node->parent) {
            float unused = 0.0f;
            pruned = !query.accepts(*node, unused);
        }
        if (pruned) {
            ++result.prunedMisses;
        } else {
            expected.push_back({leaf->body, time});
        }
    }
    BodyList bodies{nullptr}; // entries already there must stay first and unchanged
    TimeList times{-1.0f};
    query.run(tree, bodies, times);
    if (bodies.front() != nullptr || times.front() != -1.0f) {
        result.mismatch = "changed the entries it was given";
        return result;
    }
    bodies.pop_front();
    times.pop_front();
    result.hits = static_cast<int>(bodies.size());
    if (times.size() != (Query::timed ? bodies.size() : 0u) || bodies.size() != expected.size()) {
        result.mismatch = std::to_string(bodies.size()) + " results and " +
                          std::to_string(times.size()) + " times, reference expects " +
                          std::to_string(expected.size());
        return result;
    }
    auto time = times.begin();
    std::size_t i = 0;
    for (auto body = bodies.begin(); body != bodies.end(); ++body, ++i) {
        if (*body != expected[i].body || (Query::timed && *time++ != expected[i].time)) {
            result.mismatch = "result " + std::to_string(i) + " differs from the reference";
            break;
        }
    }
    return result;
}
