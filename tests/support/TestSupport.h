#pragma once

// Shared by the core tests: a fixed-seed generator, body factories and small hand-built trees.

#include "body/SphereBody.h"
#include "spheretree/QuerySphereTree.h"
#include "spheretree/TreeChecker.h"

#include <array>
#include <cstdint>
#include <cstring>
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
    /// Each axis in [-extent, extent), drawn z, y, x in a fixed order.
    Vector3 nextVector(float extent) {
        float z = nextFloat(-extent, extent);
        float y = nextFloat(-extent, extent);
        return Vector3(nextFloat(-extent, extent), y, z);
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

/// A body like the program's scene makes them, decelerating, its velocity times speedScale: a
/// large scale makes a body that leaves the root sphere within a few hundred steps.
inline SphereBody makeSceneBody(TestRandom& random, float speedScale = 1.0f) {
    SphereBody body(random.nextVector(5000.0f), random.nextFloat(50.0f, 1050.0f));
    body.setVelocity(random.nextVector(500.0f) * speedScale);
    body.setAcceleration(body.getVelocity() * -0.1f);
    body.setMass(random.nextFloat(0.0f, 1000.0f));
    return body;
}

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

/// A column-major translation matrix.
using Matrix = std::array<float, 16>;
inline Matrix translation(float x, float y, float z) {
    return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1};
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
