#pragma once

// Shared by the tests: body factories, random scenes and draws, a hash of floats and small
// hand-built trees.

#include "app/CameraMatrices.h"
#include "app/FrameLogic.h"
#include "app/ScenePopulation.h"
#include "app/Scenes.h"
#include "body/SphereBody.h"
#include "spheretree/QuerySphereTree.h"
#include "spheretree/TreeChecker.h"
#include "world/World.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <vector>

using namespace spheres;

namespace spheres {
// In the vectors' own namespace, where the test macros find it.
inline bool operator==(const Vector3& a, const Vector3& b) {
    return a.x == b.x && a.y == b.y && a.z == b.z;
}
} // namespace spheres

/// A body that moved from previous to position and has the given velocity.
inline SphereBody makeBody(const Vector3& previous, const Vector3& position, float radius,
                           const Vector3& velocity = Vector3::zero) {
    SphereBody body(previous, radius);
    body.setPosition(position);
    body.setVelocity(velocity);
    return body;
}

/// Draws from the program's scene generator, for randomized tests.
struct TestDraws {
    SceneRandom random;

    /// A value in [lo, hi).
    float between(float lo, float hi) {
        return lo + (hi - lo) * static_cast<float>(random.next()) * (1.0f / 32768.0f);
    }
    /// Each axis in [-extent, extent), drawn z, y, x in a fixed order.
    Vector3 vector(float extent) {
        float z = between(-extent, extent);
        float y = between(-extent, extent);
        return Vector3(between(-extent, extent), y, z);
    }
    /// One of 0 to n - 1.
    std::size_t index(std::size_t n) { return static_cast<std::size_t>(random.next()) % n; }
};

/// A World over a scene's generator (the program's by default) that grows as asked; every
/// fastEvery-th body is fast enough to leave the root sphere within a few hundred frames. Owns its
/// bodies.
struct RandomScene {
    std::vector<std::unique_ptr<SphereBody>> owned; // before the World: its tree points at them
    std::vector<Body*> bodies;
    World world;
    std::size_t fastEvery;

    explicit RandomScene(std::size_t fastEvery) : fastEvery(fastEvery) {}
    void add(int count, std::uint32_t seed, Scene scene = Scene::Program) {
        for (Body* body : addSceneBodies(world, scene, count, seed, 1.0f)) {
            if (bodies.size() % fastEvery == 0) {
                body->setVelocity(body->getVelocity() * 400.0f);
                body->setAcceleration(body->getVelocity() * -0.1f);
            }
            bodies.push_back(body);
            owned.emplace_back(static_cast<SphereBody*>(body));
        }
    }
    /// The program's frame, running, with the default camera.
    void frame() {
        BodyList visible;
        simulateFrame(world, bodies.data(), static_cast<int>(bodies.size()), true, 0.1f,
                      defaultCameraFrustum(), visible);
    }
};

/// FNV-1a over the bytes of the given floats, low byte first, continuing from hash.
inline std::uint64_t hashFloats(std::initializer_list<float> values,
                                std::uint64_t hash = 14695981039346656037ull) {
    for (float value : values) {
        std::uint32_t word;
        std::memcpy(&word, &value, sizeof word);
        for (int shift = 0; shift < 32; shift += 8) {
            hash = (hash ^ ((word >> shift) & 0xFFu)) * 1099511628211ull;
        }
    }
    return hash;
}

/// Every value of a body as the frame reads it, bit for bit, continuing from hash.
inline std::uint64_t hashBody(Body* body, std::uint64_t hash) {
    Vector3 p = body->getPosition(), q = body->getPreviousPosition();
    Vector3 v = body->getVelocity(), a = body->getAcceleration();
    return hashFloats({body->getRadius(), body->getMass(), p.x, p.y, p.z, q.x, q.y, q.z, v.x, v.y,
                       v.z, a.x, a.y, a.z, body->isAlive() ? 1.0f : 0.0f},
                      hash);
}

/// hashBody over a list of bodies (raw or owning pointers).
template <class Bodies> std::uint64_t hashBodies(const Bodies& bodies) {
    std::uint64_t hash = hashFloats({});
    for (const auto& body : bodies) {
        hash = hashBody(&*body, hash);
    }
    return hash;
}

/// Deletes the SphereBodies that a scene maker handed over.
inline void deleteBodies(const std::vector<Body*>& bodies) {
    for (Body* body : bodies) {
        delete static_cast<SphereBody*>(body);
    }
}

/// A column-major translation matrix.
using Matrix = std::array<float, 16>;
inline Matrix translation(float x, float y, float z) {
    return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1};
}

/// The sweep query's test at one node: the body's present sphere against an inner node, the
/// moving-sphere contact (with its time) on a leaf of another body.
inline bool sweepAccepts(const SweptSphere& sweep, const TreeNode& node, float& time) {
    if (!(node.flags & TreeNodeFlags::Leaf)) {
        return !sphereMissesNode(sweep.position, sweep.radius, node.center, node.radius);
    }
    return node.body != sweep.body && sweep.contactTime(node.body, time);
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
