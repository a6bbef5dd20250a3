#include "spheretree/SphereTree.h"

#include "body/Body.h"
#include "spheretree/TreeParameters.h"

#include <algorithm>
#include <cmath>

namespace spheres {

SphereTree::SphereTree(float rootRadius, float maxLevels, float radiusDivisor, float rootSlack,
                       float slackScale) {
    setChildRadiusScale(1.0f / radiusDivisor);
    setSlackScale(slackScale);
    setMaxLevel(static_cast<int>(maxLevels));

    root = nodes.make(nullptr, 0);
    root->maxRadius = rootRadius;
    root->radius = rootRadius;
    root->flags |= TreeNodeFlags::Root | TreeNodeFlags::Bounding;
    root->level = 0;
    root->slack = rootSlack;
}

SphereTree::~SphereTree() = default;

std::size_t SphereTree::countNodes() const {
    auto stranded = std::count_if(retiredLeaves.begin(), retiredLeaves.end(),
                                  [](const TreeNode* leaf) { return leaf->parent == nullptr; });
    return countSubtree(root) + integrateQueue.size() + static_cast<std::size_t>(stranded);
}

std::size_t SphereTree::countSubtree(const TreeNode* node) {
    std::size_t count = 1;
    for (const TreeNode* child : node->children) {
        count += countSubtree(child);
    }
    return count;
}

void SphereTree::insert(Body* body) {
    TreeNode* leaf = nodes.make(nullptr, 0);
    leaf->body = body;
    // The present sphere: the leaf is refreshed to the swept sphere before it is placed.
    leaf->radius = body->getRadius();
    leaf->center = body->getPosition();
    // A body the tree does not accept (one that died of an overflow and is added again, or one
    // with a negative radius) waits with an empty sphere instead, so no node ever holds a
    // non-finite value or a negative radius; the next update strands the leaf if the body still
    // breaks the rule.
    if (!isAcceptable(leaf)) {
        leaf->radius = 0.0f;
        leaf->center = Vector3::zero;
    }
    leaf->flags |= TreeNodeFlags::IntegrateQueued | TreeNodeFlags::Leaf;
    leaf->entry = leaves.insert(leaves.end(), leaf);
    enqueue(integrateQueue, leaf);
    ++leavesOfBody.try_emplace(body, BodyLeaves{leaf, 0}).first->second.count;
}

void SphereTree::remove(Body* body) {
    auto known = leavesOfBody.find(body);
    if (known == leavesOfBody.end()) {
        return;
    }
    TreeNode* leaf = known->second.only;
    if (known->second.count > 1) {
        // A body inserted more than once: a listed leaf first; a body whose leaves all left the
        // list (it escaped the root, or broke what the tree accepts) still has its earliest
        // retired leaf freed, so bodies that come and go leave nothing behind.
        auto ofBody = [body](const TreeNode* node) { return node->body == body; };
        auto found = std::find_if(leaves.begin(), leaves.end(), ofBody);
        leaf = found != leaves.end()
                   ? *found
                   : *std::find_if(retiredLeaves.begin(), retiredLeaves.end(), ofBody);
    }
    this->removeNode(leaf);
}

void SphereTree::forgetLeaf(TreeNode* leaf) {
    (leaf->flags & TreeNodeFlags::Retired ? retiredLeaves : leaves).erase(leaf->entry);
    auto known = leavesOfBody.find(leaf->body);
    if (--known->second.count == 0) {
        leavesOfBody.erase(known);
    } else if (known->second.count == 1) {
        // The body's other leaf, listed or retired, becomes its only one.
        auto other = [leaf](const TreeNode* node) {
            return node->body == leaf->body && node != leaf;
        };
        auto found = std::find_if(leaves.begin(), leaves.end(), other);
        known->second.only = found != leaves.end()
                                 ? *found
                                 : *std::find_if(retiredLeaves.begin(), retiredLeaves.end(), other);
    }
}

void SphereTree::removeNode(TreeNode* node) {
    // The root lives as long as the tree.
    if (node->flags & TreeNodeFlags::Root) {
        return;
    }
    if (node->flags & TreeNodeFlags::RecomputeQueued) {
        recomputeQueue.remove(node);
    }
    if (node->flags & TreeNodeFlags::IntegrateQueued) {
        integrateQueue.remove(node);
    }
    // A destroyed leaf must not stay listed, or the next update would refresh (and tear-down
    // free) it.
    if (node->flags & TreeNodeFlags::Leaf) {
        forgetLeaf(node);
        escapedLeaves.remove(node);
    }
    if (node->parent != nullptr) {
        this->queueRecompute(node->parent);
        node->detach();
    }
    // The tree itself only removes empty nodes. Should a caller remove a node that still has
    // children, its leaves are not lost: those still refreshed wait to be placed again, and
    // retired ones are cut loose and stay retired; the bounding nodes below it go with it.
    while (!node->children.empty()) {
        TreeNode* child = node->children.front();
        child->detach();
        if (child->flags & TreeNodeFlags::Leaf) {
            if (!(child->flags & TreeNodeFlags::Retired)) {
                this->queueIntegrate(child);
            }
        } else {
            this->removeNode(child);
        }
    }
    nodes.release(node);
}

TreeNode* SphereTree::getRoot() {
    return root;
}

bool SphereTree::isAcceptable(TreeNode* leaf) {
    // isless, not <, so a NaN radius raises no invalid-operation flag.
    return leaf->hasFiniteSphere() && !std::isless(leaf->body->getRadius(), 0.0f);
}

void SphereTree::strandLeaf(TreeNode* leaf) {
    // A non-finite sphere must not reach a recompute, where it would poison every node above it,
    // and a negative radius would keep the leaf inside every sphere for ever, so the leaf leaves
    // the hierarchy and the queues for good and is handled as escaped.
    if (leaf->flags & TreeNodeFlags::IntegrateQueued) {
        integrateQueue.remove(leaf);
        leaf->flags &= ~TreeNodeFlags::IntegrateQueued;
    }
    if (leaf->parent != nullptr) {
        this->queueRecompute(leaf->parent);
        leaf->detach();
    }
    retire(leaf);
}

void SphereTree::retire(TreeNode* leaf) {
    escapedLeaves.push_back(leaf);
    leaf->entry = retiredLeaves.insert(retiredLeaves.end(), leaf);
    leaf->flags |= TreeNodeFlags::Retired;
}

void SphereTree::leaveParent(TreeNode* leaf) {
    // Touching the root counts as outside.
    if (leaf->computeFit(*root) > 0.0f) {
        this->queueIntegrate(leaf);
        this->queueRecompute(leaf->parent);
        leaf->detach();
    } else {
        retire(leaf);
    }
}

void SphereTree::refreshOnThreads([[maybe_unused]] int team) {
    // A leaf's refresh and its test against its parent read its own body and the parent's
    // sphere and write the leaf alone, and nothing in this phase changes a sphere (leaving a
    // parent only detaches), so every test gives what it gives in the walk in list order. The
    // walk then acts on the leaves that need it, in that order.
    refreshing.assign(leaves.begin(), leaves.end());
    verdicts.resize(refreshing.size());
    int count = static_cast<int>(refreshing.size());
#ifdef _OPENMP
#pragma omp parallel for num_threads(team) schedule(static)
#endif
    for (int i = 0; i < count; ++i) {
        TreeNode* leaf = refreshing[static_cast<std::size_t>(i)];
        leaf->refreshFromBody();
        Refreshed verdict = Refreshed::Stays;
        if (!isAcceptable(leaf)) {
            verdict = Refreshed::Strands;
        } else if (!(leaf->flags & TreeNodeFlags::IntegrateQueued) &&
                   leaf->computeFit(*leaf->parent) < 0.0f) {
            verdict = Refreshed::Leaves;
        }
        verdicts[static_cast<std::size_t>(i)] = verdict;
    }
    for (std::size_t i = 0; i < refreshing.size(); ++i) {
        if (verdicts[i] == Refreshed::Strands) {
            strandLeaf(refreshing[i]);
        } else if (verdicts[i] == Refreshed::Leaves) {
            leaveParent(refreshing[i]);
        }
    }
}

void SphereTree::update() {
#ifdef _OPENMP
    int team = threads.threadsFor(leaves.size());
#else
    int team = 1;
#endif
    if (team > 1) {
        refreshOnThreads(team);
    } else {
        // Each leaf is checked against its parent, which lies anywhere in memory: the parent of
        // the leaf a few places on is fetched meanwhile.
        constexpr int ahead = 8;
        auto next = leaves.begin();
        for (int k = 0; k < ahead && next != leaves.end(); ++k) {
            ++next;
        }
        for (TreeNode* leaf : leaves) {
            if (next != leaves.end()) {
                __builtin_prefetch((*next)->parent);
                ++next;
            }
            leaf->refreshFromBody();
            if (!isAcceptable(leaf)) {
                strandLeaf(leaf);
                continue;
            }
            if (leaf->flags & TreeNodeFlags::IntegrateQueued) {
                continue;
            }
            // Touching the parent from inside counts as inside.
            if (leaf->computeFit(*leaf->parent) >= 0.0f) {
                continue;
            }
            leaveParent(leaf);
        }
    }

    // The leaves listed and retired are those that escaped in this update: one pass takes them
    // all off the list, rather than one search of the whole list per leaf.
    if (!escapedLeaves.empty()) {
        leaves.remove_if(
            [](const TreeNode* leaf) { return (leaf->flags & TreeNodeFlags::Retired) != 0; });
    }

    for (TreeNode* leaf : integrateQueue) {
        this->integrateNode(leaf, root);
    }
    recycle(integrateQueue);

    // Every successful recompute queues the node's parent, so the walk runs on over the entries
    // it appends until the changes have reached the top of the hierarchy.
    for (auto it = recomputeQueue.begin(); it != recomputeQueue.end(); ++it) {
        TreeNode* node = *it;
        int result = this->recomputeNode(node);
        node->flags &= ~TreeNodeFlags::RecomputeQueued;
        if (result == 0) {
            this->removeNode(node);
        }
    }
    recycle(recomputeQueue);
}

void SphereTree::queueIntegrate(TreeNode* node) {
    if (node->flags & (TreeNodeFlags::IntegrateQueued | TreeNodeFlags::Root)) {
        return;
    }
    node->flags |= TreeNodeFlags::IntegrateQueued;
    enqueue(integrateQueue, node);
}

void SphereTree::queueRecompute(TreeNode* node) {
    if (node->flags & (TreeNodeFlags::RecomputeQueued | TreeNodeFlags::Root)) {
        return;
    }
    node->flags |= TreeNodeFlags::RecomputeQueued;
    enqueue(recomputeQueue, node);
}

void SphereTree::enqueue(TreeNodeList& queue, TreeNode* node) {
    if (spareEntries.empty()) {
        queue.push_back(node);
        return;
    }
    spareEntries.front() = node;
    queue.splice(queue.end(), spareEntries, spareEntries.begin());
}

void SphereTree::recycle(TreeNodeList& queue) {
    spareEntries.splice(spareEntries.end(), queue);
}

void SphereTree::integrateNode(TreeNode* leaf, TreeNode* parent) {
    if (placementStopsAt(*parent, leaf->radius)) {
        attachLeaf(leaf, parent);
        return;
    }
    Placement chosen = placeAmongChildren(*parent, leaf->center, leaf->radius);
    this->integrateNode(leaf, takePlacement(leaf, parent, chosen));
}

TreeNode* SphereTree::takePlacement(TreeNode* leaf, TreeNode* parent, const Placement& chosen) {
    if (chosen.child == nullptr) {
        TreeNode* created = nodes.make(nullptr, 0);
        // Room for a few children at once rather than a new block for each of the first ones
        // (a node taken over from a removed one has it already).
        if (created->children.capacity() < 4) {
            created->children.reserve(4);
        }
        parent->addChild(created);
        created->initBounding(parent, TreeNodeFlags::Bounding, leaf->center);
        return created;
    }
    if (chosen.grow) {
        chosen.child->radius = chosen.child->slack + chosen.distance;
    }
    return chosen.child;
}

void SphereTree::attachLeaf(TreeNode* leaf, TreeNode* parent) {
    this->queueRecompute(parent);
    parent->addChild(leaf);
    leaf->parent = parent;
    leaf->level = parent->level + 1;
    leaf->flags &= ~TreeNodeFlags::IntegrateQueued;
}

int SphereTree::recomputeNode(TreeNode* node) {
    if (node->children.empty()) {
        this->queueRecompute(node->parent);
        return 0;
    }
    Vector3 sum = Vector3::zero;
    for (const TreeNode* child : node->children) {
        sum = sum + child->center;
    }
    Vector3 centroid = sum * (1.0f / static_cast<float>(node->children.size()));
    // Children far apart near the float limit can overflow the sum; keep the node as it is.
    if (!isFinite(centroid)) {
        return 1;
    }

    // The recompute only ever shrinks: as soon as the children need the node's present radius
    // or more, it keeps its sphere and its parent is left alone.
    float needed = 0.0f;
    for (const TreeNode* child : node->children) {
        float r = (child->center - centroid).length() + node->slack + child->radius;
        if (r > needed) {
            needed = r;
            if (needed >= node->radius) {
                return 1;
            }
        }
    }
    node->center = centroid;
    node->radius = needed;
    this->queueRecompute(node->parent);
    return 1;
}

} // namespace spheres
