#include "bench/PeerFrames.h"

#include "app/BruteForceFrame.h"
#include "body/Body.h"
#include "body/CollisionResponse.h"
#include "spheretree/SweptSphere.h"

#include <BulletCollision/BroadphaseCollision/btDbvt.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

using namespace spheres;

namespace {

Box sweptBox(Body* body) {
    Vector3 c = body->getSweptCenter();
    float r = body->getSweptRadius();
    return Box{{c.x - r, c.y - r, c.z - r}, {c.x + r, c.y + r, c.z + r}};
}

bool overlap(const Box& a, const Box& b) {
    for (int k = 0; k < 3; ++k) {
        if (a.max[k] < b.min[k] || b.max[k] < a.min[k]) {
            return false;
        }
    }
    return true;
}

class DbvtFrame : public PeerFrame {
    btDbvt tree;
    std::vector<btDbvtNode*> leaves;
    btAlignedObjectArray<const btDbvtNode*> stack;

    struct Collector : btDbvt::ICollide {
        std::vector<int>* found = nullptr;
        void Process(const btDbvtNode* leaf) override {
            found->push_back(static_cast<int>(reinterpret_cast<std::intptr_t>(leaf->data)));
        }
    };

    static btDbvtVolume volume(const Box& box) {
        return btDbvtVolume::FromMM(btVector3(box.min[0], box.min[1], box.min[2]),
                                    btVector3(box.max[0], box.max[1], box.max[2]));
    }

protected:
    void update(const std::vector<Box>& boxes, const std::vector<char>& alive) override {
        leaves.resize(boxes.size(), nullptr);
        for (std::size_t i = 0; i < boxes.size(); ++i) {
            if (!alive[i]) {
                if (leaves[i] != nullptr) {
                    tree.remove(leaves[i]);
                    leaves[i] = nullptr;
                }
                continue;
            }
            btDbvtVolume v = volume(boxes[i]);
            if (leaves[i] == nullptr) {
                leaves[i] = tree.insert(v, reinterpret_cast<void*>(static_cast<std::intptr_t>(i)));
                continue;
            }
            // The broad phase's margin, scaled to this scene's bodies (50 to 1050 wide).
            btVector3 moved = v.Center() - leaves[i]->volume.Center();
            tree.update(leaves[i], v, moved, btScalar(50));
        }
        tree.optimizeIncremental(1 + tree.m_leaves / 100);
    }
    void candidates(const Box& box, std::vector<int>& found) override {
        Collector collector;
        collector.found = &found;
        tree.collideTVNoStackAlloc(tree.m_root, volume(box), stack, collector);
    }
};

class GridFrame : public PeerFrame {
    float cell = 1.0f;
    std::uint32_t mask = 0;
    std::vector<Box> boxes;
    std::vector<std::uint32_t> bucketStart;
    std::vector<int> entries;
    std::vector<std::uint32_t> stamp;
    std::uint32_t query = 0;

    int cellOf(float x) const { return static_cast<int>(std::floor(x / cell)); }
    std::uint32_t bucket(int x, int y, int z) const {
        return (static_cast<std::uint32_t>(x) * 73856093u ^
                static_cast<std::uint32_t>(y) * 19349663u ^
                static_cast<std::uint32_t>(z) * 83492791u) &
               mask;
    }
    template <class Visit> void forCells(const Box& box, Visit visit) const {
        for (int x = cellOf(box.min[0]); x <= cellOf(box.max[0]); ++x) {
            for (int y = cellOf(box.min[1]); y <= cellOf(box.max[1]); ++y) {
                for (int z = cellOf(box.min[2]); z <= cellOf(box.max[2]); ++z) {
                    visit(bucket(x, y, z));
                }
            }
        }
    }

protected:
    void update(const std::vector<Box>& all, const std::vector<char>& alive) override {
        boxes = all;
        stamp.assign(all.size(), 0u);
        query = 0;
        float widest = 0.0f;
        std::size_t count = 0;
        for (std::size_t i = 0; i < all.size(); ++i) {
            if (alive[i]) {
                widest = std::max(widest, all[i].max[0] - all[i].min[0]);
                ++count;
            }
        }
        // A box then spans at most two cells per axis.
        cell = std::max(widest, 1.0f);
        std::uint32_t size = 16;
        while (size < 2 * count) {
            size *= 2;
        }
        mask = size - 1;
        // Counting sort of (bucket, body) pairs: each bucket's bodies lie together in entries.
        bucketStart.assign(size + 1, 0u);
        for (std::size_t i = 0; i < all.size(); ++i) {
            if (alive[i]) {
                forCells(all[i], [&](std::uint32_t b) { ++bucketStart[b + 1]; });
            }
        }
        for (std::uint32_t b = 0; b < size; ++b) {
            bucketStart[b + 1] += bucketStart[b];
        }
        entries.resize(bucketStart[size]);
        std::vector<std::uint32_t> next(bucketStart.begin(), bucketStart.end() - 1);
        for (std::size_t i = 0; i < all.size(); ++i) {
            if (alive[i]) {
                forCells(all[i],
                         [&](std::uint32_t b) { entries[next[b]++] = static_cast<int>(i); });
            }
        }
    }
    void candidates(const Box& box, std::vector<int>& found) override {
        ++query;
        forCells(box, [&](std::uint32_t b) {
            for (std::uint32_t e = bucketStart[b]; e < bucketStart[b + 1]; ++e) {
                int j = entries[e];
                if (stamp[j] != query && overlap(box, boxes[j])) {
                    stamp[j] = query;
                    found.push_back(j);
                }
            }
        });
    }
};

} // namespace

FrameOutcome PeerFrame::frame(Body* const* bodies, int count, float timeStep,
                              const Frustum& frustum, BodyList& visible) {
    FrameOutcome outcome;
    stepWithoutTree(bodies, count, timeStep);
    std::vector<Box> boxes(count);
    std::vector<char> alive(count);
    for (int i = 0; i < count; ++i) {
        alive[i] = bodies[i]->isAlive();
        if (alive[i]) {
            boxes[i] = sweptBox(bodies[i]);
        }
    }
    update(boxes, alive);

    std::vector<int> found;
    BodyList hits;
    TimeList times;
    for (int i = 0; i < count; ++i) {
        if (!alive[i]) {
            continue;
        }
        found.clear();
        candidates(boxes[i], found);
        SweptSphere sweep(bodies[i]);
        for (int j : found) {
            float t;
            if (j != i && sweep.contactTime(bodies[j], t)) {
                hits.push_back(bodies[j]);
                times.push_back(t);
            }
        }
        if (resolveEarliestContact(bodies[i], hits, times)) {
            ++outcome.contacts;
        }
        hits.clear();
        times.clear();
    }
    bruteForceFrustum(frustum, bodies, count, visible);
    outcome.drawn = static_cast<int>(visible.size());
    return outcome;
}

PeerFrame* makeDbvtFrame() {
    return new DbvtFrame();
}

PeerFrame* makeGridFrame() {
    return new GridFrame();
}
