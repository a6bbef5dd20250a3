#include "spheretree/QuerySnapshot.h"

#include "body/Body.h"
#include "frustum/Frustum.h"
#include "spheretree/TreeNode.h"

#include <algorithm>
#include <cstring>

namespace spheres {

#ifdef SPHERES_COUNT_VISITS
extern unsigned long long sweepNodeVisits;
extern unsigned long long frustumNodeVisits;
#endif

void QuerySnapshot::build(TreeNode* root) {
    // Clearing keeps the capacity: after the first build of a frame loop nothing is allocated.
    for (auto* values : {&centerX, &centerY, &centerZ, &radius}) {
        values->clear();
    }
    body.clear();
    node.clear();
    childBegin.clear();
    childCount.clear();
    append(root);
    copyChildren(root, 0);
}

std::uint32_t QuerySnapshot::append(TreeNode* copied) {
    bool leaf = copied->flags & TreeNodeFlags::Leaf;
    centerX.push_back(copied->center.x);
    centerY.push_back(copied->center.y);
    centerZ.push_back(copied->center.z);
    radius.push_back(copied->radius);
    body.push_back(leaf ? copied->body : nullptr);
    node.push_back(copied);
    childBegin.push_back(leaf ? leafMark : 0u);
    childCount.push_back(0u);
    return static_cast<std::uint32_t>(radius.size() - 1);
}

void QuerySnapshot::copyChildren(const TreeNode* node, std::uint32_t slot) {
    if (isLeaf(slot)) {
        return;
    }
    // The whole block first, then each child's own block: depth-first block order.
    std::uint32_t begin = static_cast<std::uint32_t>(radius.size());
    for (TreeNode* child : node->children) {
        append(child);
    }
    childBegin[slot] = begin;
    childCount[slot] = static_cast<std::uint32_t>(radius.size()) - begin;
    std::uint32_t next = begin;
    for (const TreeNode* child : node->children) {
        copyChildren(child, next++);
    }
}

template <class Visit>
void QuerySnapshot::walk(std::uint32_t begin, std::uint32_t count, Visit& visit) const {
    // visit handles a leaf itself and says whether the walk goes below an inner node.
    for (std::uint32_t slot = begin; slot < begin + count; ++slot) {
        if (visit(slot) && !isLeaf(slot)) {
            walk(childBegin[slot], childCount[slot], visit);
        }
    }
}

void QuerySnapshot::queryRay(const Vector3& origin, const Vector3& direction, BodyList& bodies,
                             TimeList& times) const {
    auto visit = [&](std::uint32_t slot) {
        bool leaf = isLeaf(slot);
        float t;
        bool hit =
            rayHitsSphere(origin, direction, center(slot), radius[slot], leaf ? &t : nullptr);
        if (hit && leaf) {
            bodies.push_back(body[slot]);
            times.push_back(t);
        }
        return hit;
    };
    walk(0, 1, visit);
}

void QuerySnapshot::querySegment(const Segment& segment, BodyList& bodies, TimeList& times) const {
    auto visit = [&](std::uint32_t slot) {
        float time;
        bool hit = segment.hitsSphere(center(slot), radius[slot], time);
        if (hit && isLeaf(slot)) {
            bodies.push_back(body[slot]);
            times.push_back(time);
        }
        return hit;
    };
    walk(0, 1, visit);
}

void QuerySnapshot::queryFrustum(const Frustum& frustum, BodyList& bodies) const {
    // The planes cannot change during the query, so they are read once.
    Plane planes[6];
    for (int i = 0; i < 6; ++i) {
        planes[i] = *frustum.getPlane(i);
    }
    auto outside = [&planes](const Vector3& c, float r) {
        for (const Plane& plane : planes) {
            if (sphereOutsidePlane(plane, c, r)) {
                return true;
            }
        }
        return false;
    };
    auto visit = [&](std::uint32_t slot) {
#ifdef SPHERES_COUNT_VISITS
        ++frustumNodeVisits;
#endif
        if (!isLeaf(slot)) {
            return !outside(center(slot), radius[slot]);
        }
        // Leaves are tested with the body's present sphere, read now.
        Body* leafBody = body[slot];
        float r = leafBody->getRadius();
        Vector3 p = leafBody->getPosition();
        if (!outside(p, r)) {
            bodies.push_back(leafBody);
        }
        return false;
    };
    walk(0, 1, visit);
}

void QuerySnapshot::querySphere(const Vector3& center, float radius, BodyList& bodies) const {
    auto visit = [&](std::uint32_t slot) {
        bool hit =
            !sphereMissesNodeAnywhere(center, radius, this->center(slot), this->radius[slot]);
        if (hit && isLeaf(slot)) {
            bodies.push_back(body[slot]);
        }
        return hit;
    };
    walk(0, 1, visit);
}

template <class Reach>
void QuerySnapshot::sweepBlock(const SweptSphere& sweep, std::uint32_t begin, std::uint32_t count,
                               Reach& reach) const {
#ifdef SPHERES_COUNT_VISITS
    sweepNodeVisits += count;
#endif
    // The block is tested in chunks of 32: one loop over the arrays that the compiler
    // vectorises, marking the children to visit (accepted inner nodes, and every leaf: the sweep
    // reaches each leaf below an accepted node and never tests it as a node); then the marked
    // ones in list order, found by their bits without a branch per child.
    constexpr std::uint32_t chunk = 32;
    unsigned char visit[chunk];
    for (std::uint32_t first = begin, end = begin + count; first < end; first += chunk) {
        std::uint32_t n = std::min(chunk, end - first);
        for (std::uint32_t k = 0; k < n; ++k) {
            std::uint32_t slot = first + k;
            bool missed =
                sphereMissesNode(sweep.position, sweep.radius, center(slot), radius[slot]);
            visit[k] = static_cast<unsigned char>(!missed | (childBegin[slot] == leafMark));
        }
        std::uint32_t marked = 0;
        for (std::uint32_t k = 0; k < n; ++k) {
            marked |= static_cast<std::uint32_t>(visit[k]) << k;
        }
        for (; marked != 0; marked &= marked - 1) {
            std::uint32_t slot = first + static_cast<std::uint32_t>(__builtin_ctz(marked));
            if (!isLeaf(slot)) {
                sweepBlock(sweep, childBegin[slot], childCount[slot], reach);
            } else if (body[slot] != sweep.body) {
                reach(slot);
            }
        }
    }
}

void QuerySnapshot::querySweep(const SweptSphere& sweep, BodyList& bodies, TimeList& times) const {
    auto reach = [&](std::uint32_t slot) {
        Body* other = body[slot];
        float t;
        if (sweep.contactTime(other, t)) {
            bodies.push_back(other);
            times.push_back(t);
        }
    };
    sweepBlock(sweep, 0, 1, reach);
}

void QuerySnapshot::querySweep(const SweptSphere& sweep, std::vector<SweepReach>& reached) const {
    auto reach = [&](std::uint32_t slot) {
        float t = 0.0f;
        bool contact = sweep.contactTime(body[slot], t);
        reached.push_back(SweepReach{slot, t, contact});
    };
    sweepBlock(sweep, 0, 1, reach);
}

Placement QuerySnapshot::place(std::uint32_t slot, const Vector3& center, float radius) const {
    // SphereTree::integrateNode's scan, with the distances of a chunk of children computed in one
    // loop (the same expression, so the same floats) and the nodes read only for the children
    // whose distance beats every one before: a child that is not a bounding node is skipped
    // either way, so testing the distance first decides the same.
    constexpr std::uint32_t chunk = 32;
    float distances[chunk];
    float bestDistance = 1e9f;
    float bestMargin = 0.0f;
    Placement containing, growing;
    std::uint32_t begin = childBegin[slot];
    for (std::uint32_t first = begin, end = begin + childCount[slot]; first < end; first += chunk) {
        std::uint32_t n = std::min(chunk, end - first);
        for (std::uint32_t k = 0; k < n; ++k) {
            distances[k] = (center - this->center(first + k)).length() + radius;
        }
        for (std::uint32_t k = 0; k < n; ++k) {
            float d = distances[k];
            TreeNode* child = node[first + k];
            if (!(d < bestDistance) || !(child->flags & TreeNodeFlags::Bounding)) {
                continue;
            }
            bestDistance = d;
            if (d - child->radius < bestMargin) {
                bestMargin = d - child->radius;
                containing = Placement{child, first + k, false, d};
            } else if (d + child->slack - child->maxRadius < 0.0f) {
                growing = Placement{child, first + k, true, d};
            }
        }
    }
    return containing.child != nullptr ? containing : growing;
}

std::uint32_t QuerySnapshot::childSlot(std::uint32_t slot, const TreeNode* child) const {
    if (slot >= size() || isLeaf(slot)) {
        return noSlot;
    }
    std::uint32_t begin = childBegin[slot];
    for (std::uint32_t k = begin; k < begin + childCount[slot]; ++k) {
        if (node[k] == child) {
            return k;
        }
    }
    return noSlot;
}

std::size_t QuerySnapshot::memoryBytes() const {
    return (centerX.capacity() + centerY.capacity() + centerZ.capacity() + radius.capacity()) *
               sizeof(float) +
           body.capacity() * sizeof(Body*) + node.capacity() * sizeof(TreeNode*) +
           (childBegin.capacity() + childCount.capacity()) * sizeof(std::uint32_t);
}

namespace {

bool sameBits(float a, float b) {
    return std::memcmp(&a, &b, sizeof(float)) == 0;
}

} // namespace

std::string QuerySnapshot::compareWith(const TreeNode* root) const {
    // The tree and the copy side by side, block by block, from the root's one-node block.
    std::vector<std::pair<const TreeNode*, std::uint32_t>> pending{{root, 0u}};
    std::size_t visited = 0;
    while (!pending.empty()) {
        auto [node, slot] = pending.back();
        pending.pop_back();
        ++visited;
        std::string where = "snapshot node " + std::to_string(slot) + ": ";
        if (slot >= size()) {
            return where + "missing";
        }
        bool leaf = node->flags & TreeNodeFlags::Leaf;
        if (leaf != isLeaf(slot) || (leaf && node->body != body[slot]) ||
            node != this->node[slot]) {
            return where + "leaf flag or body differs from the tree's";
        }
        if (!sameBits(node->center.x, centerX[slot]) || !sameBits(node->center.y, centerY[slot]) ||
            !sameBits(node->center.z, centerZ[slot]) || !sameBits(node->radius, radius[slot])) {
            return where + "sphere differs from the tree's";
        }
        if (leaf) {
            continue;
        }
        if (node->children.size() != childCount[slot]) {
            return where + "child count differs from the tree's";
        }
        std::uint32_t next = childBegin[slot];
        for (const TreeNode* child : node->children) {
            pending.emplace_back(child, next++);
        }
    }
    if (visited != size()) {
        return "snapshot holds " + std::to_string(size()) + " nodes, the tree " +
               std::to_string(visited);
    }
    return "";
}

} // namespace spheres
