#include "spheretree/TreeChecker.h"

#include "spheretree/SphereTree.h"
#include "spheretree/TreeParameters.h"

#include <sstream>
#include <unordered_map>
#include <unordered_set>

namespace spheres {

namespace {

bool has(const TreeNode& node, unsigned flag) {
    return (node.flags & flag) != 0;
}

std::string describe(const TreeNode& node, const std::string& rule) {
    std::ostringstream out;
    out << (has(node, TreeNodeFlags::Leaf) ? "leaf" : "bounding node") << " at level " << node.level
        << ", centre (" << node.center.x << ", " << node.center.y << ", " << node.center.z
        << "), radius " << node.radius << ", flags 0x" << std::hex << node.flags << std::dec << ": "
        << rule;
    return out.str();
}

/// How often each node occurs in a queue; every entry must be unique.
std::unordered_map<const TreeNode*, int> countEntries(const TreeNodeList& queue) {
    std::unordered_map<const TreeNode*, int> counts;
    for (const TreeNode* node : queue) {
        ++counts[node];
    }
    return counts;
}

struct Checker {
    TreeCheckMode mode;
    const TreeNode* root;
    std::unordered_map<const TreeNode*, int> recompute;
    std::unordered_map<const TreeNode*, int> integrate;
    std::unordered_set<const TreeNode*> refreshed;
    std::unordered_set<const TreeNode*> retired;
    std::unordered_set<const TreeNode*> reachable;

    /// Rules shared by nodes in the hierarchy and waiting leaves.
    std::string checkCommon(const TreeNode& node) const {
        if (!node.hasFiniteSphere()) {
            return describe(node, "centre or radius is not finite");
        }
        if (node.radius < 0.0f) {
            return describe(node, "negative radius");
        }
        auto inRecompute = recompute.find(&node);
        if (has(node, TreeNodeFlags::RecomputeQueued) != (inRecompute != recompute.end())) {
            return describe(node, "RecomputeQueued flag disagrees with the recompute queue");
        }
        if (has(node, TreeNodeFlags::IntegrateQueued) != (integrate.count(&node) != 0)) {
            return describe(node, "IntegrateQueued flag disagrees with the integrate queue");
        }
        if (has(node, TreeNodeFlags::Leaf)) {
            if (has(node, TreeNodeFlags::Bounding) || has(node, TreeNodeFlags::Root)) {
                return describe(node, "a leaf also flagged Bounding or Root");
            }
            if (node.body == nullptr || !node.children.empty()) {
                return describe(node, "a leaf needs a body and no children");
            }
        }
        return "";
    }

    std::string checkLeaf(const TreeNode& leaf, const TreeNode& parent) {
        // Otherwise remove could never free it.
        if (refreshed.count(&leaf) == 0 && retired.count(&leaf) == 0) {
            return describe(leaf, "an attached leaf is neither listed nor retired");
        }
        if (leaf.level > getMaxLevel() + 1) {
            return describe(leaf, "leaf deeper than one below the deepest bounding level");
        }
        if (has(leaf, TreeNodeFlags::IntegrateQueued)) {
            return describe(leaf, "an attached leaf is still queued for integration");
        }
        if (mode != TreeCheckMode::Full || refreshed.count(&leaf) == 0) {
            return "";
        }
        // The margin computeFit would store, computed without writing the leaf's fit.
        float margin = parent.radius - ((leaf.center - parent.center).length() + leaf.radius);
        if (margin < 0.0f && !(&parent == root && isTooLargeForChild(*root, leaf.radius))) {
            return describe(leaf, "sticks out of its parent by " + std::to_string(-margin));
        }
        return "";
    }

    std::string checkBounding(const TreeNode& node, const TreeNode& parent) const {
        if (!has(node, TreeNodeFlags::Bounding) || has(node, TreeNodeFlags::Root)) {
            return describe(node, "an inner node must be Bounding and not Root");
        }
        if (node.level < 1 || node.level > getMaxLevel()) {
            return describe(node, "bounding node outside levels 1 to maxLevel");
        }
        // An emptied node lives on only until the recompute that removes it.
        if (node.children.empty() && !has(node, TreeNodeFlags::RecomputeQueued)) {
            return describe(node, "bounding node without children");
        }
        if (node.maxRadius != parent.maxRadius * getChildRadiusScale() ||
            node.slack != parent.slack * slackScale) {
            return describe(node, "maxRadius or slack not derived from the parent");
        }
        if (!(node.radius <= node.maxRadius)) {
            return describe(node, "radius beyond maxRadius");
        }
        return "";
    }

    std::string walk(const TreeNode& node) {
        if (!reachable.insert(&node).second) {
            return describe(node, "reached twice: a cycle or a shared child");
        }
        std::string error;
        for (const TreeNode* child : node.children) {
            if (child->parent != &node) {
                return describe(*child, "parent pointer does not match the children list");
            }
            if (child->level != node.level + 1) {
                return describe(*child, "level is not the parent's level + 1");
            }
            // Finiteness first: the containment margin of a non-finite sphere means nothing.
            error = checkCommon(*child);
            if (error.empty()) {
                error = has(*child, TreeNodeFlags::Leaf) ? checkLeaf(*child, node)
                                                         : checkBounding(*child, node);
            }
            if (error.empty()) {
                error = walk(*child);
            }
            if (!error.empty()) {
                return error;
            }
        }
        return "";
    }

    std::string checkRoot(const TreeNode& node) const {
        bool flagsRight = node.flags == (TreeNodeFlags::Root | TreeNodeFlags::Bounding);
        if (!flagsRight || node.level != 0 || node.parent != nullptr || node.center.x != 0.0f ||
            node.center.y != 0.0f || node.center.z != 0.0f || node.radius != node.maxRadius) {
            return describe(node, "root must be Root|Bounding, level 0, no parent, at the "
                                  "origin with its first radius");
        }
        return "";
    }

    std::string checkWaiting(const TreeNode& leaf) const {
        if (!has(leaf, TreeNodeFlags::Leaf) || leaf.parent != nullptr || leaf.level != 0) {
            return describe(leaf, "a waiting node must be a leaf without parent at level 0");
        }
        if (refreshed.count(&leaf) == 0) {
            return describe(leaf, "a waiting leaf is missing from the leaf list");
        }
        return checkCommon(leaf);
    }
};

} // namespace

std::string checkTree(SphereTree& tree, TreeCheckMode mode) {
    Checker checker{mode,
                    tree.getRoot(),
                    countEntries(tree.getRecomputeQueue()),
                    countEntries(tree.getIntegrateQueue()),
                    {},
                    {},
                    {}};
    for (const auto* queue : {&checker.recompute, &checker.integrate}) {
        for (const auto& entry : *queue) {
            if (entry.second > 1) {
                return describe(*entry.first, "queued more than once");
            }
        }
    }
    // Each listed leaf knows its place in its list, and which list it is.
    const TreeNodeList& leaves = tree.getLeaves();
    for (auto it = leaves.begin(); it != leaves.end(); ++it) {
        if (!checker.refreshed.insert(*it).second) {
            return describe(**it, "listed twice among the leaves");
        }
        if (TreeNodeList::const_iterator((*it)->entry) != it || has(**it, TreeNodeFlags::Retired)) {
            return describe(**it, "a listed leaf does not know its place among the leaves");
        }
    }
    const TreeNodeList& retiredLeaves = tree.getRetiredLeaves();
    for (auto it = retiredLeaves.begin(); it != retiredLeaves.end(); ++it) {
        if (!checker.retired.insert(*it).second) {
            return describe(**it, "listed twice among the retired leaves");
        }
        if (TreeNodeList::const_iterator((*it)->entry) != it ||
            !has(**it, TreeNodeFlags::Retired)) {
            return describe(**it, "a retired leaf does not know its place among the retired");
        }
    }
    // QuerySphereTree's update empties this list; the base update leaves it filled.
    for (const TreeNode* leaf : tree.getEscapedLeaves()) {
        if (checker.refreshed.count(leaf) != 0) {
            return describe(*leaf, "an escaped leaf is still refreshed");
        }
    }

    std::string error = checker.checkRoot(*checker.root);
    if (error.empty()) {
        error = checker.checkCommon(*checker.root);
    }
    if (error.empty()) {
        error = checker.walk(*checker.root);
    }
    for (const TreeNode* leaf : tree.getIntegrateQueue()) {
        if (error.empty()) {
            error = checker.checkWaiting(*leaf);
        }
    }
    if (!error.empty()) {
        return error;
    }
    for (const TreeNode* node : tree.getRecomputeQueue()) {
        if (checker.reachable.count(node) == 0) {
            return describe(*node, "queued for recompute but not in the hierarchy");
        }
    }
    for (const TreeNode* leaf : tree.getLeaves()) {
        if (checker.reachable.count(leaf) == 0 && checker.integrate.count(leaf) == 0) {
            return describe(*leaf, "a listed leaf is neither attached nor waiting");
        }
    }
    // Retired leaves are off the list of leaves and out of the queues: escaped ones still hang
    // in the hierarchy, stranded ones hang nowhere.
    for (const TreeNode* leaf : tree.getRetiredLeaves()) {
        if (checker.refreshed.count(leaf) != 0 || checker.integrate.count(leaf) != 0) {
            return describe(*leaf, "a retired leaf is still refreshed or queued");
        }
        if ((leaf->parent != nullptr) != (checker.reachable.count(leaf) != 0)) {
            return describe(*leaf, "a retired leaf with a parent must hang in the hierarchy, "
                                   "one without must not");
        }
    }
    return "";
}

} // namespace spheres
