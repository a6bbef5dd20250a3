#include "spheretree/TreeNode.h"

#include "body/Body.h"
#include "spheretree/TreeParameters.h"

#include <algorithm>

namespace spheres {

void TreeNode::refreshFromBody() {
    center = body->getSweptCenter();
    radius = body->getSweptRadius();
}

void TreeNode::initBounding(TreeNode* parent, unsigned addFlags, const Vector3& center) {
    this->parent = parent;
    flags |= addFlags;
    level = parent->level + 1;
    maxRadius = parent->maxRadius * getChildRadiusScale();
    radius = maxRadius;
    this->center = center;
    slack = parent->slack * slackScale;
}

void TreeNode::addChild(TreeNode* node) {
    children.push_back(node);
}

void TreeNode::removeChild(TreeNode* node) {
    // Every occurrence goes; the others keep their order.
    children.erase(std::remove(children.begin(), children.end(), node), children.end());
}

float TreeNode::computeFit(const TreeNode& enclosing) {
    fit = enclosing.radius - ((center - enclosing.center).length() + radius);
    return fit;
}

void TreeNode::detach() {
    parent->removeChild(this);
    parent = nullptr;
    level = 0;
}

bool TreeNode::hasFiniteSphere() const {
    return isFinite(center) && std::isfinite(radius);
}

} // namespace spheres
