#pragma once

#include "spheretree/TreeNode.h"

#include <cstddef>
#include <vector>

namespace spheres {

/// Where a tree's nodes live: blocks of nodes made side by side, and the nodes the tree gave back,
/// which the next ones made take over, children's room included. A frame of a large scene makes
/// and removes thousands of bounding nodes; taken from here they cost neither an allocation nor a
/// release, and a reused node's block of children has usually room already. A node's address
/// decides nothing the tree computes, so where a node comes from changes no result.
class NodePool {
public:
    NodePool() = default;
    NodePool(const NodePool&) = delete;
    NodePool& operator=(const NodePool&) = delete;
    /// Destroys every node made here, given back or not.
    ~NodePool();

    /// A node as TreeNode(parent, flags) makes it: no children (a reused node keeps the room of
    /// its old block), every other field as new.
    TreeNode* make(TreeNode* parent, unsigned flags);
    /// Takes back a node made here, which the caller no longer reaches from anywhere.
    void release(TreeNode* node);
    /// Nodes made and not given back.
    std::size_t inUse() const { return made - spares; }

private:
    /// Nodes per block: a few tens of kilobytes, so a small tree wastes little.
    static constexpr std::size_t blockNodes = 256;
    /// Raw storage of blockNodes nodes each; the last one is filled up to filled.
    std::vector<TreeNode*> blocks;
    std::size_t filled = blockNodes;
    /// Nodes constructed in the blocks, and how many of them wait in the spare list.
    std::size_t made = 0;
    std::size_t spares = 0;
    /// Nodes given back, linked through their parent field; the latest first.
    TreeNode* spare = nullptr;
};

} // namespace spheres
