#pragma once

#include "spheretree/NodePool.h"
#include "spheretree/Placement.h"
#include "spheretree/ThreadBudget.h"
#include "spheretree/TreeNode.h"

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

namespace spheres {

class Body;

/// A hierarchy of bounding spheres below a fixed root sphere at the origin, one leaf per body,
/// brought up to date incrementally by update().
///
/// The tree owns every node; a leaf only points at its body. Bodies must outlive the tree: the
/// leaf of a body that left the root, and the second leaf of a body inserted twice, still point
/// at it after the body has gone from the World.
///
/// What the tree accepts: a body with a finite position and a finite, non-negative radius,
/// inserted once. A body that breaks this is not refused: at the next update its leaf is
/// handled as escaped (its body dies) and cut loose from the hierarchy, so no node ever holds a
/// non-finite sphere or a negative radius. A body inserted twice gets two leaves, both refreshed
/// and placed; each remove takes out one of them, the earlier first.
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
    /// Destroys one leaf of body: the earliest in the list of leaves, or else the earliest of
    /// its retired leaves (escaped or stranded); nothing happens if it has none. Constant time
    /// for a body inserted once.
    virtual void remove(Body* body);
    /// Takes node out of the queues, the lists of leaves and its parent (which is queued for
    /// recompute), and destroys it. Listed leaves below a node that still has children wait to be
    /// placed again; retired ones are cut loose.
    virtual void removeNode(TreeNode* node);
    virtual TreeNode* getRoot();
    /// Refreshes every leaf from its body, re-places leaves that left their parent, re-fits the
    /// nodes above every change, and collects in escapedLeaves the leaves outside the root.
    virtual void update();
    /// Queues node for placement unless it is queued already or is the root.
    virtual void queueIntegrate(TreeNode* node);
    /// Places leaf below parent, as deep as the levels allow, by the placement rule
    /// (Placement.h) over the children lists.
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
    /// Leaves the update no longer refreshes, kept until remove frees them, in the order they
    /// left the list of leaves: escaped ones, still hanging under their last parent (queries
    /// still reach them), and stranded ones, cut loose (no parent) because their body broke
    /// what the tree accepts.
    const TreeNodeList& getRetiredLeaves() const { return retiredLeaves; }
    /// How many threads update() may refresh the leaves on (and QuerySphereTree rebuild its
    /// snapshot on); the same results on any number. One by default.
    void setThreads(const ThreadBudget& budget) { threads = budget; }
    const ThreadBudget& getThreads() const { return threads; }
    /// Nodes the tree holds in memory: every node reachable from the root (root included),
    /// the waiting leaves and the stranded ones.
    std::size_t countNodes() const;

protected:
    // Not virtual: a tree is destroyed as the concrete tree it is. The pool frees every node the
    // tree made, wherever it hangs.
    ~SphereTree();

    /// Every node the tree makes: the root, the leaves and the bounding nodes.
    NodePool nodes;
    TreeNode* root;
    TreeNodeList recomputeQueue;
    TreeNodeList integrateQueue;
    TreeNodeList escapedLeaves;
    TreeNodeList leaves;
    TreeNodeList retiredLeaves;
    ThreadBudget threads;

    /// One step down of a placement below parent: grows the chosen child, or makes a new child
    /// on the leaf when the rule chose none; returns the node the leaf descends into.
    TreeNode* takePlacement(TreeNode* leaf, TreeNode* parent, const Placement& chosen);
    /// The end of a placement: leaf becomes a child of parent, which is queued for recompute.
    void attachLeaf(TreeNode* leaf, TreeNode* parent);

private:
    /// A body's leaves: how many, and the one leaf while there is only one.
    struct BodyLeaves {
        TreeNode* only;
        std::uint32_t count;
    };
    std::unordered_map<const Body*, BodyLeaves> leavesOfBody;
    /// Entries of emptied queues, kept for the next ones: a frame's update queues thousands of
    /// nodes, and moving an entry between lists allocates nothing. Their values mean nothing.
    TreeNodeList spareEntries;

    /// What the first phase of update does with a leaf once it is refreshed.
    enum class Refreshed : char { Stays, Leaves, Strands };
    /// The leaves and their verdicts while update refreshes them on threads (kept for their
    /// capacity).
    std::vector<TreeNode*> refreshing;
    std::vector<Refreshed> verdicts;

    /// Appends node to queue (integrateQueue or recomputeQueue), in a spare entry if there is
    /// one.
    void enqueue(TreeNodeList& queue, TreeNode* node);
    /// Empties queue, keeping its entries as spares.
    void recycle(TreeNodeList& queue);
    static bool isAcceptable(TreeNode* leaf);
    /// The first phase of update: every leaf refreshed from its body and tested against its
    /// parent, on team threads, then acted on in list order.
    void refreshOnThreads(int team);
    /// A refreshed leaf that no longer fits its parent: waits to be placed again, or escapes.
    void leaveParent(TreeNode* leaf);
    /// Moves leaf from the leaves to the escaped and retired ones (the caller takes it off the
    /// list of leaves).
    void retire(TreeNode* leaf);
    /// Takes a leaf about to be destroyed off its list and out of leavesOfBody.
    void forgetLeaf(TreeNode* leaf);
    void strandLeaf(TreeNode* leaf);
    static std::size_t countSubtree(const TreeNode* node);
};

} // namespace spheres
