#include "body/Body.h"
#include "spheretree/DebugDraw.h"
#include "spheretree/QuerySphereTree.h"

namespace spheres {

void QuerySphereTree::draw() {
    // The walk visits the live children lists: a callback that changed the tree would leave it
    // in freed nodes. Validating builds check the flag in every operation that changes the tree.
    struct Drawing {
        bool& flag;
        explicit Drawing(bool& flag) : flag(flag) { flag = true; }
        ~Drawing() { flag = false; }
    } during(drawing);
    drawNode(root);
}

void QuerySphereTree::drawNode(TreeNode* node) {
    if (!debugDraw) {
        return;
    }
    if (node->flags & TreeNodeFlags::Bounding) {
        debugDraw->drawBounds(node->center, node->radius, node->level);
    } else if (node->flags & TreeNodeFlags::Leaf) {
        if (!node->body->isAlive()) {
            debugDraw->drawEscapedLeaf(node->center, node->radius);
        }
        Vector3 p = node->body->getPosition();
        float rb = node->body->getRadius();
        debugDraw->drawBody(p, rb);
    }
    for (TreeNode* child : node->children) {
        drawNode(child);
    }
}

} // namespace spheres
