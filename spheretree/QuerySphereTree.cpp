#include "spheretree/QuerySphereTree.h"

#include "body/Body.h"
#include "frustum/Frustum.h"
#include "spheretree/Growing.h"
#include "spheretree/SweepVisitor.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#ifdef SPHERES_VALIDATE
#include "spheretree/TreeChecker.h"

#include <string>
#endif

namespace spheres {

#ifdef SPHERES_COUNT_VISITS
// Benchmark-only builds count the nodes the sweep and frustum walks enter; the benchmark
// defines the counters. The shipped tree has none.
extern unsigned long long sweepNodeVisits;
extern unsigned long long frustumNodeVisits;
#endif

QuerySphereTree::QuerySphereTree() : SphereTree(rootRadius, 5.0f, 4.0f, 1000.0f, 1.0f) {}

namespace {

void checkNotDrawing([[maybe_unused]] bool drawing, [[maybe_unused]] const char* operation) {
#ifdef SPHERES_VALIDATE
    if (drawing) {
        std::fprintf(stderr,
                     "QuerySphereTree::%s called while the tree draws (from a DebugDraw "
                     "callback): the drawing walk would visit freed nodes\n",
                     operation);
        std::abort();
    }
#endif
}

} // namespace

void QuerySphereTree::remove(Body* body) {
    checkNotDrawing(drawing, "remove");
    snapshotState = SnapshotState::Stale;
    SphereTree::remove(body);
}

void QuerySphereTree::removeNode(TreeNode* node) {
    checkNotDrawing(drawing, "removeNode");
    snapshotState = SnapshotState::Stale;
    SphereTree::removeNode(node);
}

void QuerySphereTree::update() {
    checkNotDrawing(drawing, "update");
    if (snapshotState == SnapshotState::Exact) {
        snapshotState = SnapshotState::Placing;
        assignGrowing(gainedChild, snapshot.size(), char{0});
    }
    SphereTree::update();
    snapshotState = SnapshotState::Stale;
    for (TreeNode* leaf : escapedLeaves) {
        leaf->body->setAlive(false);
    }
    escapedLeaves.clear();
    // Rebuilt here rather than in the first query, so that queries allocate nothing but their
    // results.
    if (queryWalk == QueryWalk::Snapshot) {
        refreshSnapshot();
    }
#ifdef SPHERES_VALIDATE
    // Validating builds check every invariant after every update and stop at the first broken
    // one, so every run of the programs and tests checks the tree as it goes.
    std::string error = checkTree(*this);
    if (!error.empty()) {
        std::fprintf(stderr, "tree check failed after an update: %s\n", error.c_str());
        std::abort();
    }
#endif
}

void QuerySphereTree::integrateNode(TreeNode* leaf, TreeNode* parent) {
    if (snapshotState != SnapshotState::Placing) {
        snapshotState = SnapshotState::Stale;
        SphereTree::integrateNode(leaf, parent);
        return;
    }
    // SphereTree::integrateNode's descent, each step read from the copy where it still holds
    // the node's bounding children (see snapshotState). The tree is final, so the descent is a
    // loop here rather than a call back through the virtual table.
    std::uint32_t slot = parent == root ? 0 : QuerySnapshot::noSlot;
    while (!placementStopsAt(*parent, leaf->radius)) {
        bool copied = slot != QuerySnapshot::noSlot && !gainedChild[slot];
        Placement chosen = copied ? snapshot.place(slot, leaf->center, leaf->radius)
                                  : placeAmongChildren(*parent, leaf->center, leaf->radius);
        if (chosen.child == nullptr) {
            if (slot != QuerySnapshot::noSlot) {
                gainedChild[slot] = 1;
            }
            slot = QuerySnapshot::noSlot;
        } else {
            slot = copied ? chosen.index : snapshot.childSlot(slot, chosen.child);
        }
        parent = takePlacement(leaf, parent, chosen);
        if (chosen.grow && slot != QuerySnapshot::noSlot) {
            snapshot.setRadius(slot, parent->radius);
        }
    }
    attachLeaf(leaf, parent);
}

int QuerySphereTree::recomputeNode(TreeNode* node) {
    snapshotState = SnapshotState::Stale;
    return SphereTree::recomputeNode(node);
}

const QuerySnapshot& QuerySphereTree::refreshSnapshot() {
    if (snapshotState != SnapshotState::Exact) {
        snapshot.build(root, threads.threadsFor(leaves.size()));
        snapshotState = SnapshotState::Exact;
#ifdef SPHERES_VALIDATE
        std::string fault = snapshot.compareWith(root);
        if (!fault.empty()) {
            std::fprintf(stderr, "query snapshot differs from its tree: %s\n", fault.c_str());
            std::abort();
        }
#endif
    }
    return snapshot;
}

std::size_t QuerySphereTree::countNodes() const {
    if (snapshotState != SnapshotState::Exact) {
        return SphereTree::countNodes();
    }
    // A fresh snapshot copied every node reachable from the root; the waiting and the stranded
    // leaves are the rest.
    auto stranded = std::count_if(retiredLeaves.begin(), retiredLeaves.end(),
                                  [](const TreeNode* leaf) { return leaf->parent == nullptr; });
    std::size_t count =
        snapshot.size() + integrateQueue.size() + static_cast<std::size_t>(stranded);
#ifdef SPHERES_VALIDATE
    if (count != SphereTree::countNodes()) {
        std::fprintf(stderr, "node count %zu differs from the tree's %zu\n", count,
                     SphereTree::countNodes());
        std::abort();
    }
#endif
    return count;
}

// The literal walks below visit the live children lists: no query changes the tree, so no copy is
// needed and the results come in the same order.
//
// Every per-node test is written "reject when outside", which a NaN never meets, so a query with
// a NaN or an infinity in its arguments would return every leaf. The public entry points turn
// such a query away before any walk: it finds nothing. Finite arguments are never turned away.

namespace {

/// The ray's direction as the walk needs it: as given when its length is within 1e-5 of 1 (a
/// direction normalised in floats is, and keeps its exact results), otherwise a normalised copy,
/// scaled first so that its square neither overflows nor underflows. False for the zero vector.
bool unitDirection(const Vector3& direction, Vector3& unit) {
    float lengthSquared = direction.lengthSquared();
    // (1 - 1e-5)^2 and (1 + 1e-5)^2, rounded inwards.
    if (lengthSquared >= 0.99998f && lengthSquared <= 1.00002f) {
        unit = direction;
        return true;
    }
    float largest = std::fmax(std::fabs(direction.x),
                              std::fmax(std::fabs(direction.y), std::fabs(direction.z)));
    if (largest == 0.0f) {
        return false;
    }
    unit = Vector3(direction.x / largest, direction.y / largest, direction.z / largest);
    unit.normalize();
    return true;
}

bool hasFinitePlanes(const Frustum& frustum) {
    for (int i = 0; i < 6; ++i) {
        const Plane& p = *frustum.getPlane(i);
        if (!(std::isfinite(p.a) && std::isfinite(p.b) && std::isfinite(p.c) &&
              std::isfinite(p.d))) {
            return false;
        }
    }
    return true;
}

} // namespace

void QuerySphereTree::queryRay(const Vector3& origin, const Vector3& direction, BodyList& bodies,
                               TimeList& times) {
    Vector3 unit;
    if (!isFinite(origin) || !isFinite(direction) || !unitDirection(direction, unit)) {
        return;
    }
    if (queryWalk == QueryWalk::Snapshot) {
        auto hits = [&](const Vector3& center, float radius, float* distance) {
            return rayHitsSphere(origin, unit, center, radius, distance);
        };
        refreshSnapshot().collect(hits, bodies, &times);
        return;
    }
    queryRayNode(origin, unit, root, bodies, times);
}

void QuerySphereTree::queryRayNode(const Vector3& origin, const Vector3& direction, TreeNode* node,
                                   BodyList& bodies, TimeList& times) {
    bool isLeaf = node->flags & TreeNodeFlags::Leaf;
    float t;
    if (!rayHitsSphere(origin, direction, node->center, node->radius, isLeaf ? &t : nullptr)) {
        return;
    }
    if (isLeaf) {
        bodies.push_back(node->body);
        times.push_back(t);
        return;
    }
    for (TreeNode* child : node->children) {
        queryRayNode(origin, direction, child, bodies, times);
    }
}

void QuerySphereTree::querySegment(const Vector3& start, const Vector3& end, BodyList& bodies,
                                   TimeList& times) {
    if (!isFinite(start) || !isFinite(end)) {
        return;
    }
    Segment segment(start, end);
    if (queryWalk == QueryWalk::Snapshot) {
        auto hits = [&](const Vector3& center, float radius, float* time) {
            float t = 0.0f;
            bool hit = segment.hitsSphere(center, radius, t);
            if (time != nullptr) {
                *time = t;
            }
            return hit;
        };
        refreshSnapshot().collect(hits, bodies, &times);
        return;
    }
    querySegmentNode(segment, root, bodies, times);
}

void QuerySphereTree::querySegmentNode(const Segment& segment, TreeNode* node, BodyList& bodies,
                                       TimeList& times) {
    float time;
    if (!segment.hitsSphere(node->center, node->radius, time)) {
        return;
    }
    if (node->flags & TreeNodeFlags::Leaf) {
        bodies.push_back(node->body);
        times.push_back(time);
        return;
    }
    for (TreeNode* child : node->children) {
        querySegmentNode(segment, child, bodies, times);
    }
}

void QuerySphereTree::queryFrustum(const Frustum& frustum, BodyList& bodies) {
    if (!hasFinitePlanes(frustum)) {
        return;
    }
    if (queryWalk == QueryWalk::Snapshot) {
        refreshSnapshot().queryFrustum(frustum, bodies, threads.threadsFor(leaves.size()));
        return;
    }
    queryFrustumNode(frustum, root, bodies);
}

void QuerySphereTree::queryFrustumNode(const Frustum& frustum, TreeNode* node, BodyList& bodies) {
#ifdef SPHERES_COUNT_VISITS
    ++frustumNodeVisits;
#endif
    // Leaves are tested with the body's present sphere, inner nodes with their own.
    float radius;
    Vector3 center;
    bool isLeaf = node->flags & TreeNodeFlags::Leaf;
    if (isLeaf) {
        radius = node->body->getRadius();
        center = node->body->getPosition();
    } else {
        radius = node->radius;
        center = node->center;
    }
    for (int i = 0; i < 6; ++i) {
        if (sphereOutsidePlane(*frustum.getPlane(i), center, radius)) {
            return;
        }
    }
    if (isLeaf) {
        bodies.push_back(node->body);
        return;
    }
    for (TreeNode* child : node->children) {
        queryFrustumNode(frustum, child, bodies);
    }
}

void QuerySphereTree::querySphere(const Vector3& center, float radius, BodyList& bodies) {
    // An infinite radius holds everything; a negative one, like NaN, holds nothing (-0 is 0).
    if (!isFinite(center) || std::isnan(radius) || radius < 0.0f) {
        return;
    }
    if (queryWalk == QueryWalk::Snapshot) {
        auto hits = [&](const Vector3& nodeCenter, float nodeRadius, float*) {
            return !sphereMissesNodeAnywhere(center, radius, nodeCenter, nodeRadius);
        };
        refreshSnapshot().collect(hits, bodies, nullptr);
        return;
    }
    querySphereNode(center, radius, root, bodies);
}

void QuerySphereTree::querySphereNode(const Vector3& center, float radius, TreeNode* node,
                                      BodyList& bodies) {
    if (sphereMissesNodeAnywhere(center, radius, node->center, node->radius)) {
        return;
    }
    if (node->flags & TreeNodeFlags::Leaf) {
        bodies.push_back(node->body);
        return;
    }
    for (TreeNode* child : node->children) {
        querySphereNode(center, radius, child, bodies);
    }
}

void QuerySphereTree::querySweep(Body* body, BodyList& bodies, TimeList& times) {
    SweptSphere sweep(body);
    if (queryWalk == QueryWalk::Snapshot) {
        refreshSnapshot().querySweep(sweep, bodies, times);
        return;
    }
    querySweepNode(sweep, root, bodies, times, nullptr);
}

void QuerySphereTree::querySweepReached(Body* body, std::vector<SweepReach>& reached) {
    refreshSnapshot().querySweep(SweptSphere(body), reached);
}

void QuerySphereTree::querySweep(Body* body, BodyList& bodies, TimeList& times,
                                 SweepVisitor& visitor) {
    SweptSphere sweep(body);
    querySweepNode(sweep, root, bodies, times, &visitor);
}

void QuerySphereTree::querySweepNode(const SweptSphere& sweep, TreeNode* node, BodyList& bodies,
                                     TimeList& times, SweepVisitor* visitor) {
#ifdef SPHERES_COUNT_VISITS
    ++sweepNodeVisits;
#endif
    if (!(node->flags & TreeNodeFlags::Leaf)) {
        // Inner nodes are pruned with the query body's present sphere only.
        bool rejected = sphereMissesNode(sweep.position, sweep.radius, node->center, node->radius);
        if (visitor) {
            visitor->enterNode(*node, !rejected);
        }
        if (rejected) {
            return;
        }
        for (TreeNode* child : node->children) {
            querySweepNode(sweep, child, bodies, times, visitor);
        }
        return;
    }

    Body* other = node->body;
    float t = 0.0f;
    bool contact = other != sweep.body && sweep.contactTime(other, t);
    if (visitor) {
        visitor->reachLeaf(*node, contact, t);
    }
    if (contact) {
        bodies.push_back(other);
        times.push_back(t);
    }
}

} // namespace spheres
