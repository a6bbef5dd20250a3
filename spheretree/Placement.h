#pragma once

#include "spheretree/TreeNode.h"
#include "spheretree/TreeParameters.h"

#include <cstdint>

namespace spheres {

/// Whether a leaf of the given radius is too large for any bounding child of parent; the
/// placement then hangs it on parent itself (or, below the root, it may stick out of it).
inline bool isTooLargeForChild(const TreeNode& parent, float radius) {
    return parent.maxRadius * getChildRadiusScale() < radius;
}

/// Whether a leaf of the given radius placed below parent is attached to parent itself: parent
/// is at the deepest bounding level, or the leaf is too large for a child of it.
inline bool placementStopsAt(const TreeNode& parent, float radius) {
    return parent.level == getMaxLevel() || isTooLargeForChild(parent, radius);
}

/// The distance score of a child for a leaf: how far the leaf's sphere reaches from the child's
/// centre.
inline float distanceScore(const Vector3& leafCenter, float leafRadius, const Vector3& center) {
    return (leafCenter - center).length() + leafRadius;
}

/// Where the placement rule sends a leaf below a node: into child, grown first to slack +
/// distance when grow is set; with child null, into a new child made on the leaf. index is the
/// number the scanned sequence gave the child (its slot, in the query snapshot).
struct Placement {
    TreeNode* child = nullptr;
    std::uint32_t index = 0;
    bool grow = false;
    float distance = 0.0f;
};

/*
 * The placement rule: which bounding child of a node a leaf descends into. The children are
 * offered in list order, each with its distance score d. A child is a candidate only if it is a
 * bounding node and its d is strictly below 1e9 and below that of every bounding child before
 * it: on equal scores the earlier child wins, and a child that would hold the leaf is passed over
 * when an earlier one scores as well, whatever their sizes. A candidate is then
 * - containing: d - radius is below 0 and below that of every containing candidate before it
 *   (the leaf lies strictly inside it, deeper than in any before);
 * - otherwise growing: d + slack - maxRadius < 0 (grown to slack + d, it would hold the leaf
 *   within the radius it was made with);
 * - otherwise nothing.
 * The last containing candidate wins; without one, the last growing candidate; without either,
 * the caller makes a new child on the leaf.
 *
 * feed(offer) calls offer(child, d, index, bounding, radius) for each child in list order, where
 * bounding() says whether the child has the flag Bounding and radius() gives its radius. The
 * children list feeds it (placeAmongChildren), and so does the query snapshot's copy of the
 * list, with the distances of a block computed in one loop and the flag and radius read from the
 * copy (QuerySnapshot::place); both compute d with distanceScore, so both give the same floats and
 * the same choice.
 */
template <class Feed> Placement choosePlacement(Feed&& feed) {
    float bestDistance = 1e9f;
    float bestMargin = 0.0f;
    Placement containing, growing;
    feed([&](TreeNode* child, float d, std::uint32_t index, auto&& bounding, auto&& radius) {
        // The distance first: the rest is read only when the score could count, and the node
        // itself only when it may be grown.
        if (!(d < bestDistance) || !bounding()) {
            return;
        }
        bestDistance = d;
        if (d - radius() < bestMargin) {
            bestMargin = d - radius();
            containing = Placement{child, index, false, d};
        } else if (d + child->slack - child->maxRadius < 0.0f) {
            growing = Placement{child, index, true, d};
        }
    });
    return containing.child != nullptr ? containing : growing;
}

/// The placement rule over parent's children list, for a leaf with the given sphere.
inline Placement placeAmongChildren(const TreeNode& parent, const Vector3& center, float radius) {
    return choosePlacement([&](auto&& offer) {
        std::uint32_t index = 0;
        for (TreeNode* child : parent.children) {
            offer(
                child, distanceScore(center, radius, child->center), index++,
                [child] { return (child->flags & TreeNodeFlags::Bounding) != 0; },
                [child] { return child->radius; });
        }
    });
}

} // namespace spheres
