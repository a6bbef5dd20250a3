#pragma once

// Helpers shared by the tests, the fuzzer and the benchmarks: a fixed-seed generator, tolerant
// comparison, body factories, and a brute-force reference for each of the tree's five queries.

#include "body/BodyList.h"
#include "body/SphereBody.h"
#include "frustum/Frustum.h"
#include "spheretree/QuerySphereTree.h"

#include <fenv.h>

#include <cmath>
#include <cstdint>
#include <deque>
#include <sstream>
#include <string>
#include <vector>

/// Masks the divide-by-zero and invalid traps for its lifetime, for the few calls whose designed
/// result is not finite; the flags they raise are cleared before the traps come back.
class ScopedFloatTrapsOff {
public:
    ScopedFloatTrapsOff() : previous(fedisableexcept(FE_DIVBYZERO | FE_INVALID)) {}
    ~ScopedFloatTrapsOff() {
        feclearexcept(FE_ALL_EXCEPT);
        if (previous > 0) {
            feenableexcept(previous);
        }
    }
    ScopedFloatTrapsOff(const ScopedFloatTrapsOff&) = delete;
    ScopedFloatTrapsOff& operator=(const ScopedFloatTrapsOff&) = delete;

private:
    int previous;
};

/// XorShift32 with a fixed seed: the same sequence with every compiler and library.
class TestRandom {
public:
    explicit TestRandom(std::uint32_t seed = 0x9E3779B9u) : state(seed != 0 ? seed : 1u) {}

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
    /// Uniform in 0..n-1 (n > 0).
    int nextInt(int n) { return static_cast<int>(next() % static_cast<std::uint32_t>(n)); }

private:
    std::uint32_t state;
};

inline bool nearlyEqual(float a, float b, float tolerance) {
    return std::fabs(a - b) <= tolerance;
}

inline bool nearlyEqual(const Vector3& a, const Vector3& b, float tolerance) {
    return nearlyEqual(a.x, b.x, tolerance) && nearlyEqual(a.y, b.y, tolerance) &&
           nearlyEqual(a.z, b.z, tolerance);
}

/// A sphere body that moved from previousPosition to position and has the given velocity.
inline SphereBody makeBody(const Vector3& position, float radius,
                           const Vector3& velocity = Vector3::zero) {
    SphereBody body(position, radius);
    body.setPosition(position);
    body.setVelocity(velocity);
    return body;
}

inline SphereBody makeBody(const Vector3& position, float radius, const Vector3& velocity,
                           const Vector3& previousPosition) {
    SphereBody body(previousPosition, radius);
    body.setPosition(position);
    body.setVelocity(velocity);
    return body;
}

/// The body radius whose swept sphere, at rest, has exactly the radius swept (radius + 0.001
/// rounded); lets a test place a leaf sphere to the last bit.
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
    Vector3 position(static_cast<float>(random.nextInt(10000)) - 5000.0f,
                     static_cast<float>(random.nextInt(10000)) - 5000.0f,
                     static_cast<float>(random.nextInt(10000)) - 5000.0f);
    Vector3 velocity = Vector3(static_cast<float>(random.nextInt(1000)) - 500.0f,
                               static_cast<float>(random.nextInt(1000)) - 500.0f,
                               static_cast<float>(random.nextInt(1000)) - 500.0f) *
                       speedScale;
    SphereBody body(position, radius);
    body.setVelocity(velocity);
    body.setAcceleration(body.getVelocity() * -0.1f);
    body.setMass(static_cast<float>(random.nextInt(1000)));
    return body;
}

/// The matrix gluPerspective builds, from its formula: computed in double, stored column-major
/// as float.
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

/// A column-major translation matrix.
inline void translationMatrix(float x, float y, float z, float out[16]) {
    for (int i = 0; i < 16; ++i) {
        out[i] = i % 5 == 0 ? 1.0f : 0.0f;
    }
    out[12] = x;
    out[13] = y;
    out[14] = z;
}

/// Every leaf reachable from the root through the children lists, in the depth-first order the
/// queries visit them (escaped leaves included).
inline void collectReachableLeaves(TreeNode* node, std::vector<TreeNode*>& out) {
    if (node->flags & TreeNodeFlags::Leaf) {
        out.push_back(node);
        return;
    }
    for (TreeNode* child : node->children) {
        collectReachableLeaves(child, out);
    }
}

inline std::vector<TreeNode*> collectReachableLeaves(SphereTree& tree) {
    std::vector<TreeNode*> leaves;
    collectReachableLeaves(tree.getRoot(), leaves);
    return leaves;
}

/// A tree with bodies it does not own, for building small scenes by hand.
struct TreeScene {
    QuerySphereTree tree;
    std::deque<SphereBody> bodies;

    /// Inserts a body at rest at position (previous position the same): its leaf sphere will be
    /// centred there with radius + 0.001.
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
    /// The body's leaf: a listed one first, else one reachable from the root; null if none.
    TreeNode* leafOf(Body* body) {
        for (TreeNode* leaf : tree.getLeaves()) {
            if (leaf->body == body) {
                return leaf;
            }
        }
        for (TreeNode* leaf : collectReachableLeaves(tree)) {
            if (leaf->body == body) {
                return leaf;
            }
        }
        return nullptr;
    }
};

// Each query below has the tree's exact leaf test (leafHit), the tree's pruning test for inner
// nodes (prunes), and run, which asks the tree itself.

/// queryRay: the direction must have unit length.
struct RayQuery {
    Vector3 origin;
    Vector3 direction;

    bool test(const TreeNode& node, float& time) const {
        Vector3 l = node.center - origin;
        float s = l.dot(direction);
        float l2 = l.lengthSquared();
        float r2 = node.radius * node.radius;
        if ((s < 0.0f && l2 > r2) || l2 - s * s > r2) {
            return false;
        }
        float q = std::sqrt(r2 - (l2 - s * s));
        time = l2 < r2 ? s + q : s - q;
        return true;
    }
    bool leafHit(const TreeNode& leaf, float& time) const { return test(leaf, time); }
    bool prunes(const TreeNode& node) const {
        float unused;
        return !test(node, unused);
    }
    void run(QuerySphereTree& tree, BodyList& bodies, TimeList& times) const {
        tree.queryRay(origin, direction, bodies, times);
    }
};

/// querySegment; a zero-length segment is a point, hit where it lies strictly inside at time 0.
struct SegmentQuery {
    Vector3 start;
    Vector3 end;

    bool test(const TreeNode& node, float& time) const {
        Vector3 direction = end - start;
        Vector3 l = node.center - start;
        float l2 = l.lengthSquared();
        float r2 = node.radius * node.radius;
        if (!(direction.lengthSquared() > 0.0f)) {
            time = 0.0f;
            return l2 < r2;
        }
        float k = 1.0f / direction.length();
        direction.normalize();
        float s = l.dot(direction);
        if ((s < 0.0f && l2 > r2) || l2 - s * s > r2) {
            return false;
        }
        float q = std::sqrt(r2 - (l2 - s * s));
        float t0 = (s - q) * k;
        float t1 = (s + q) * k;
        if (l2 < r2) {
            time = t1;
            return true;
        }
        time = t0;
        bool before = t0 + 0.001f < 0.0f && t1 + 0.001f < 0.0f;
        bool beyond = t0 - 0.001f > 1.0f && t1 - 0.001f > 1.0f;
        return !before && !beyond;
    }
    bool leafHit(const TreeNode& leaf, float& time) const { return test(leaf, time); }
    bool prunes(const TreeNode& node) const {
        float unused;
        return !test(node, unused);
    }
    void run(QuerySphereTree& tree, BodyList& bodies, TimeList& times) const {
        tree.querySegment(start, end, bodies, times);
    }
};

/// queryFrustum: leaves with the body's present sphere, inner nodes with their own.
struct FrustumQuery {
    const Frustum* frustum;

    bool outside(const Vector3& c, float r) const {
        for (int i = 0; i < 6; ++i) {
            const Plane& p = *frustum->getPlane(i);
            if (p.a * c.x + p.b * c.y + p.c * c.z + p.d + r < 0.0f) {
                return true;
            }
        }
        return false;
    }
    bool leafHit(const TreeNode& leaf, float& time) const {
        time = 0.0f;
        return !outside(leaf.body->getPosition(), leaf.body->getRadius());
    }
    bool prunes(const TreeNode& node) const { return outside(node.center, node.radius); }
    void run(QuerySphereTree& tree, BodyList& bodies, TimeList&) const {
        tree.queryFrustum(*frustum, bodies);
    }
};

/// querySphere: leaves with their own (swept) sphere; touching does not count.
struct SphereQuery {
    Vector3 center;
    float radius;

    bool prunes(const TreeNode& node) const {
        Vector3 d = center - node.center;
        float reach = node.radius + radius;
        return reach * reach <= d.lengthSquared();
    }
    bool leafHit(const TreeNode& leaf, float& time) const {
        time = 0.0f;
        return !prunes(leaf);
    }
    void run(QuerySphereTree& tree, BodyList& bodies, TimeList&) const {
        tree.querySphere(center, radius, bodies);
    }
};

/// querySweep: the moving-sphere contact on leaves, body's present sphere against inner nodes.
struct SweepQuery {
    Body* body;

    bool leafHit(const TreeNode& leaf, float& time) const {
        Body* other = leaf.body;
        if (other == body) {
            return false;
        }
        Vector3 v = (body->getPosition() - body->getPreviousPosition()) -
                    (other->getPosition() - other->getPreviousPosition());
        Vector3 w = body->getPreviousPosition() - other->getPreviousPosition();
        float reach = other->getRadius() + body->getRadius();
        float a = v.dot(v);
        float b = 2.0f * v.dot(w);
        float c = w.dot(w) - reach * reach;
        float disc = b * b - 4.0f * a * c;
        if (disc < 0.0f || a == 0.0f) {
            return false;
        }
        time = (-b - std::sqrt(disc)) / (2.0f * a);
        return !(time < -0.001f || time > 1.0f + 0.001f);
    }
    bool prunes(const TreeNode& node) const {
        Vector3 d = body->getPosition() - node.center;
        float reach = body->getRadius() + node.radius;
        return reach * reach <= d.lengthSquared();
    }
    void run(QuerySphereTree& tree, BodyList& bodies, TimeList& times) const {
        tree.querySweep(body, bodies, times);
    }
};

/// One result: the body found and its time (0 for queries without times).
struct QueryHit {
    Body* body;
    float time;
};

/// The brute-force reference: the query's exact leaf test over every reachable leaf.
template <class Query> std::vector<QueryHit> bruteForceQuery(SphereTree& tree, const Query& query) {
    std::vector<QueryHit> hits;
    for (TreeNode* leaf : collectReachableLeaves(tree)) {
        float time = 0.0f;
        if (query.leafHit(*leaf, time)) {
            hits.push_back({leaf->body, time});
        }
    }
    return hits;
}

/// True when some node on the leaf's path from the root is rejected by the query's pruning.
template <class Query> bool prunedOnPath(const TreeNode& leaf, const Query& query) {
    for (const TreeNode* node = leaf.parent; node != nullptr; node = node->parent) {
        if (query.prunes(*node)) {
            return true;
        }
    }
    return false;
}

/// How a tree query compares with the reference.
struct ReferenceComparison {
    int hits = 0;         ///< results the tree reported
    int prunedMisses = 0; ///< reference hits the pruning explains
    std::string mismatch; ///< "" when the tree reported exactly the unpruned reference hits
};

/// Runs the query on the tree and checks that it reports exactly the reference hits whose path
/// no ancestor prunes, in the same order with bit-identical times.
template <class Query>
ReferenceComparison compareWithReference(QuerySphereTree& tree, const Query& query, bool hasTimes) {
    BodyList bodies;
    TimeList times;
    query.run(tree, bodies, times);
    ReferenceComparison result;
    result.hits = static_cast<int>(bodies.size());
    std::vector<QueryHit> expected;
    for (TreeNode* leaf : collectReachableLeaves(tree)) {
        float time = 0.0f;
        if (!query.leafHit(*leaf, time)) {
            continue;
        }
        if (prunedOnPath(*leaf, query)) {
            ++result.prunedMisses;
        } else {
            expected.push_back({leaf->body, time});
        }
    }
    std::ostringstream out;
    if (hasTimes && times.size() != bodies.size()) {
        out << "times and bodies differ in length";
    } else if (expected.size() != bodies.size()) {
        out << "tree reported " << bodies.size() << " results, reference expects "
            << expected.size();
    } else {
        auto time = times.begin();
        std::size_t i = 0;
        for (Body* body : bodies) {
            bool sameTime = !hasTimes || *time == expected[i].time;
            if (body != expected[i].body || !sameTime) {
                out << "result " << i << " differs from the reference";
                break;
            }
            if (hasTimes) {
                ++time;
            }
            ++i;
        }
    }
    result.mismatch = out.str();
    return result;
}
