#include "spheretree/NodePool.h"

#include <new>
#include <utility>

namespace spheres {

NodePool::~NodePool() {
    for (std::size_t b = 0; b < blocks.size(); ++b) {
        std::size_t count = b + 1 == blocks.size() ? filled : blockNodes;
        for (std::size_t k = 0; k < count; ++k) {
            blocks[b][k].~TreeNode();
        }
        ::operator delete(static_cast<void*>(blocks[b]));
    }
}

TreeNode* NodePool::make(TreeNode* parent, unsigned flags) {
    if (spare != nullptr) {
        TreeNode* node = spare;
        spare = node->parent;
        --spares;
        // Every field as a new node has it, the children's room aside (release emptied it).
        ChildList room = std::move(node->children);
        *node = TreeNode(parent, flags);
        node->children = std::move(room);
        return node;
    }
    if (filled == blockNodes) {
        // Room in the list first, so that a failed push_back cannot lose the new block.
        if (blocks.size() == blocks.capacity()) {
            blocks.reserve(2 * blocks.size() + 1);
        }
        blocks.push_back(static_cast<TreeNode*>(::operator new(blockNodes * sizeof(TreeNode))));
        filled = 0;
    }
    ++made;
    return new (blocks.back() + filled++) TreeNode(parent, flags);
}

void NodePool::release(TreeNode* node) {
    node->children.clear();
    node->parent = spare;
    spare = node;
    ++spares;
}

} // namespace spheres
