#pragma once

#include "spheretree/TreeNode.h"

#include <cstddef>

class Body;

/// Whether a leaf of the given radius is too large for any bounding child of parent; the
/// placement then hangs it on parent itself (or, below the root, it may stick out of it).
bool isTooLargeForChild(const TreeNode& parent, float radius);

/// A hierarchy of bounding spheres below a fixed root sphere at the origin, one leaf per body,
/// brought up to date incrementally by update().
///
/// The tree owns every node; a leaf only points at its body. Bodies must outlive the tree: the
/// leaf of a body that left the root, and the second leaf of a body inserted twice, still point
/// at it after the body has gone from the World.
///
/// Every call from one tree operation to another goes through the virtual table, so a derived
/// tree's override takes part in the whole algorithm.
class SphereTree {
public:
    /// Sets the process-wide tree parameters and makes the root.
    SphereTree(float rootRadius, float maxLevels, float radiusDivisor, float rootSlack,
               float slackScale);
    SphereTree(const SphereTree&) = delete;
    SphereTree& operator=(const SphereTree&) = delete;

    /// Queues a new leaf for body; queries see it after the next update.
    virtual void insert(Body* body);
    /// Destroys the earliest remaining leaf of body; nothing happens if there is none.
    virtual void remove(Body* body);
    /// Takes node out of the queues, the list of leaves and its parent (which is queued for
    /// recompute), and destroys it. Leaves below a node that still has children wait to be
    /// placed again.
    virtual void removeNode(TreeNode* node);
    virtual TreeNode* getRoot();
    /// Refreshes every leaf from its body, re-places leaves that left their parent, re-fits the
    /// nodes above every change, and collects in escapedLeaves the leaves outside the root.
    virtual void update();
    /// Queues node for placement unless it is queued already or is the root.
    virtual void queueIntegrate(TreeNode* node);
    /// Places leaf below parent, as deep as the levels allow.
    virtual void integrateNode(TreeNode* leaf, TreeNode* parent);
    /// Queues node for re-fitting unless it is queued already or is the root.
    virtual void queueRecompute(TreeNode* node);
    /// Shrinks node around its children; returns 0 when it has none, 1 otherwise.
    virtual int recomputeNode(TreeNode* node);

    /// Every leaf still refreshed by update, in insertion order.
    const TreeNodeList& getLeaves() const { return leaves; }
    const TreeNodeList& getRecomputeQueue() const { return recomputeQueue; }
    const TreeNodeList& getIntegrateQueue() const { return integrateQueue; }
    const TreeNodeList& getEscapedLeaves() const { return escapedLeaves; }
    /// Leaves whose sphere stopped being finite: detached and kept only to be freed.
    const TreeNodeList& getStrandedLeaves() const { return strandedLeaves; }
    /// Nodes the tree holds in memory: every node reachable from the root (root included),
    /// the waiting leaves and the stranded ones.
    std::size_t countNodes() const;

protected:
    // Not virtual: a tree is destroyed as the concrete tree it is.
    ~SphereTree();

    TreeNode* root;
    TreeNodeList recomputeQueue;
    TreeNodeList integrateQueue;
    TreeNodeList escapedLeaves;
    TreeNodeList leaves;
    TreeNodeList strandedLeaves;

private:
    void strandLeaf(TreeNode* leaf);
    static void destroySubtree(TreeNode* node);
    static std::size_t countSubtree(const TreeNode* node);
};
