#include "view/SweepRecorder.h"

#include "body/Body.h"
#include "spheretree/TreeNode.h"

#include <algorithm>

namespace spheres {

void SweepRecorder::watch(Body* body) {
    queryBody = body;
    enteredNodes.clear();
    reachedLeaves.clear();
}

void SweepRecorder::enterNode(const TreeNode& node, bool accepted) {
    // The walk starts at the root, an inner node, after it has read the query body: its path is
    // taken here, before anything in the frame can move it again.
    if (enteredNodes.empty() && queryBody) {
        from = queryBody->getPreviousPosition();
        to = queryBody->getPosition();
        radius = queryBody->getRadius();
    }
    enteredNodes.push_back({node.center, node.radius, node.level, accepted});
}

void SweepRecorder::reachLeaf(const TreeNode& leaf, bool contact, float time) {
    reachedLeaves.push_back({leaf.center, leaf.radius, leaf.body, contact, time});
}

int SweepRecorder::acceptedCount() const {
    return static_cast<int>(std::count_if(enteredNodes.begin(), enteredNodes.end(),
                                          [](const Node& node) { return node.accepted; }));
}

int SweepRecorder::rejectedCount() const {
    return static_cast<int>(enteredNodes.size()) - acceptedCount();
}

const SweepRecorder::Leaf* SweepRecorder::earliestContact() const {
    const Leaf* earliest = nullptr;
    for (const Leaf& leaf : reachedLeaves) {
        if (leaf.contact && (!earliest || leaf.time < earliest->time)) {
            earliest = &leaf;
        }
    }
    return earliest;
}

} // namespace spheres
