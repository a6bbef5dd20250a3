#include "body/Body.h"
#include "spheretree/DebugDraw.h"
#include "spheretree/QuerySphereTree.h"

namespace spheres {

void QuerySphereTree::draw() {
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
