#pragma once

#include "math/Vector3.h"

#include <list>
#include <vector>

namespace spheres {

class Body;
struct TreeNode;

/// A list of tree nodes; the tree owns the nodes, a list only points at them.
using TreeNodeList = std::list<TreeNode*>;
/// A node's children, in the order they were added. Contiguous, so that the walks, the
/// placement and the snapshot's copy read the pointers without following links, and adding a
/// child allocates only when the block grows.
using ChildList = std::vector<TreeNode*>;

/// Bits of TreeNode::flags.
struct TreeNodeFlags {
    enum : unsigned {
        RecomputeQueued = 0x01, ///< in the tree's recomputeQueue
        IntegrateQueued = 0x02, ///< in the tree's integrateQueue, waiting to be placed
        Leaf = 0x04,            ///< wraps a body
        Bounding = 0x08,        ///< a bounding sphere: the root and every node made to hold leaves
        Root = 0x10,            ///< the fixed root; never queued
        Retired = 0x20,         ///< a leaf in the tree's retiredLeaves (else in its leaves)
    };
};

/// One sphere of the hierarchy: the root, a bounding node, or a leaf that wraps a body.
struct TreeNode {
    /// Nodes directly below, in the order they were added.
    ChildList children;
    /// Containment margin from the last computeFit: > 0 inside, 0 touching, < 0 sticking out.
    float fit = 0.0f;
    unsigned flags;
    /// The radius the node was made with: the limit it may be grown to, and the base of the size
    /// of its new bounding children.
    float maxRadius = 0.0f;
    float radius = 0.0f;
    Vector3 center;
    /// 0 for the root and for a detached node, parent's level + 1 otherwise.
    int level = 0;
    /// Margin added around the children when the node is recomputed or grown.
    float slack = 0.0f;
    TreeNode* parent;
    /// The body a leaf wraps; null on other nodes.
    Body* body = nullptr;
    /// A leaf's place in the tree's leaves or retiredLeaves (flag Retired), so that removing it
    /// needs no search.
    TreeNodeList::iterator entry;

    TreeNode(TreeNode* parent, unsigned flags) : flags(flags), parent(parent) {}

    /// Takes the body's swept sphere, which encloses its whole motion over the last step.
    void refreshFromBody();
    /// Makes a fresh node a bounding child of parent, sized for the level below it. The caller
    /// also adds the node to the parent's children.
    void initBounding(TreeNode* parent, unsigned addFlags, const Vector3& center);
    /// Appends node to children; the caller also sets its parent.
    void addChild(TreeNode* node);
    /// Removes every occurrence of node from children.
    void removeChild(TreeNode* node);
    /// Stores and returns enclosing's radius minus (distance of the centres + own radius).
    float computeFit(const TreeNode& enclosing);
    /// Leaves the parent's children; parent none, level 0, flags unchanged.
    void detach();
    /// True when centre and radius are finite numbers.
    bool hasFiniteSphere() const;
};

} // namespace spheres
