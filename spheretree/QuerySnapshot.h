#pragma once

#include "body/BodyList.h"
#include "spheretree/NodeIntersection.h"
#include "spheretree/Placement.h"
#include "spheretree/SweptSphere.h"

#include <cstdint>
#include <string>
#include <vector>

namespace spheres {

class Body;
class Frustum;
struct TreeNode;

/// A leaf that a sweep query reached (not the query body's own): its index in the snapshot, and
/// the exact test's verdict.
struct SweepReach {
    std::uint32_t leaf;
    float time;
    bool contact;
};

/// A contiguous copy of the nodes reachable from a tree's root, for the queries to walk instead
/// of the children lists. Each node's children sit together as one block of parallel arrays
/// (centre, radius, body, the index of the child's own block), in the order of the children
/// list, so a parent tests all its children in one loop and then visits the accepted ones in
/// list order: every walk enters the nodes the literal walk enters, applies the same per-node
/// test (NodeIntersection.h) and reports the same results in the same order.
///
/// Blocks are laid out depth first, so the subtrees a query descends into lie close together.
/// The snapshot only reads the tree; the tree rebuilds it after every change, and its update
/// reads it for placement while it still holds what placement needs (QuerySphereTree.h says
/// when).
class QuerySnapshot {
public:
    QuerySnapshot();

    /// Copies the tree below root (root included). With threads above 1 the subtrees are
    /// copied on that many threads (where the build has OpenMP) and laid out as the one-thread
    /// copy lays them out: the same arrays, bit for bit.
    void build(TreeNode* root, int threads = 1);
    /// Whether the sweep walk may test a block's children with the processor's vector
    /// instructions (AVX2, where the processor has them; on by default) or tests them with
    /// portable code only. Both compute every child's test as the literal walk does.
    void setVectorised(bool on) { vectorised = on && hasVectorPath(); }
    /// Whether this build and processor have the vector path.
    static bool hasVectorPath();

    /// The walks: the literal walks' results, appended to the lists in the same order.
    ///
    /// collect serves every query whose per-node test reads only the node's sphere (the ray,
    /// the segment, the sphere): hits(center, radius, time) says whether the walk enters an
    /// inner node or reports a leaf, and on a leaf, when times is not null, stores the leaf's
    /// time through time (null otherwise). The leaves hit go to bodies, their times to times.
    template <class Hits> void collect(const Hits& hits, BodyList& bodies, TimeList* times) const;
    /// With threads above 1 the subtrees below the top levels are walked on that many threads
    /// (where the build has OpenMP), their results appended in the walk's order.
    void queryFrustum(const Frustum& frustum, BodyList& bodies, int threads = 1) const;
    void querySweep(const SweptSphere& sweep, BodyList& bodies, TimeList& times) const;
    /// Every leaf the sweep reaches other than the query body's own, in the order reached; the
    /// contacts among them are querySweep's results. Reads only.
    void querySweep(const SweptSphere& sweep, std::vector<SweepReach>& reached) const;
    /// That query in two steps. reachSweep: the walk alone, the leaves reached appended with no
    /// verdict yet (time 0, no contact) and their bodies fetched. testReached: the verdicts of
    /// sweep's records [first, last) as querySweep gives them. Other work (another query's
    /// walk) may run between the two while the bodies arrive; nothing may change the bodies.
    void reachSweep(const SweptSphere& sweep, std::vector<SweepReach>& reached) const;
    void testReached(const SweptSphere& sweep, SweepReach* first, SweepReach* last) const;

    /// The placement rule (Placement.h) over the block of the node at slot, for a leaf with the
    /// given sphere; the chosen child's index is its slot. The children's centres, radii and
    /// which of them are bounding nodes come from the copy, what a growth needs from the nodes
    /// themselves, so it chooses what the rule over the children list chooses while the node's
    /// bounding children are those copied, in the same order, with the same centres and radii
    /// (setRadius keeps a grown node's).
    Placement place(std::uint32_t slot, const Vector3& center, float radius) const;
    /// The radius of the node copied at slot becomes radius: the tree's update grows a copied
    /// node and places further leaves from the copy before it is rebuilt.
    void setRadius(std::uint32_t slot, float radius) { this->radius[slot] = radius; }
    /// The node copied at slot.
    TreeNode* nodeAt(std::uint32_t slot) const { return node[slot]; }
    /// The slot of child in the block of the node at slot; noSlot if the copy has it not there.
    std::uint32_t childSlot(std::uint32_t slot, const TreeNode* child) const;
    static constexpr std::uint32_t noSlot = 0xffffffffu;

    /// Number of nodes copied (root included).
    std::size_t size() const { return used; }
    /// Bytes held by the arrays the walks read.
    std::size_t memoryBytes() const;
    /// Whether node index slot (0 to size() - 1) is a leaf, and its body if so. Leaves in index
    /// order are in block order: nearby leaves next to each other.
    bool isLeaf(std::uint32_t slot) const { return childBegin[slot] == leafMark; }
    Body* bodyAt(std::uint32_t slot) const { return body[slot]; }
    /// Whether both copies hold the same arrays, bit for bit.
    bool operator==(const QuerySnapshot& other) const;
    /// What differs between this copy and the tree below root ("" when they agree).
    std::string compareWith(const TreeNode* root) const;

private:
    /// childBegin of a leaf: it has no block.
    static constexpr std::uint32_t leafMark = 0xffffffffu;

    std::vector<float> centerX, centerY, centerZ, radius;
    std::vector<Body*> body;
    std::vector<TreeNode*> node;
    /// Index of the node's own block of children (leafMark for a leaf) and its length.
    std::vector<std::uint32_t> childBegin, childCount;
    /// Bit slot % 64 of word slot / 64 is set for a leaf, so the leaves among a block's
    /// children are a shift away. The sphere arrays and this one end in spare entries that the
    /// sweep walk may read past a block's end.
    std::vector<std::uint64_t> leafWords;
    /// Levels of blocks below the root's.
    std::size_t depth = 0;
    bool vectorised = true;
    /// Whether every inner node copied has the flag Bounding (so placement reads that from the
    /// leaf bits), as in every tree the update keeps.
    bool innerAllBounding = true;

    /// Entries of the arrays that the last build wrote (the one in progress, during a build).
    std::size_t used = 0;

    /// Copies count nodes into the arrays after the used entries, as one block.
    void append(TreeNode* const* nodes, std::size_t count);
    /// Copies the children of the inner node at slot (at depth level) as its block; returns
    /// the block's first index.
    std::uint32_t appendBlock(const TreeNode* node, std::uint32_t slot, std::size_t level);
    /// Copies the children of the inner node at slot, then their subtrees.
    void copyChildren(const TreeNode* node, std::uint32_t slot, std::size_t level);
    /// Lengthens the arrays to hold the used entries, if they are shorter.
    void reserveUsed();

    /// The subtrees one thread copied, indices counted from the part's start.
    struct Part {
        std::vector<float> centerX, centerY, centerZ, radius;
        std::vector<Body*> body;
        std::vector<TreeNode*> node;
        std::vector<std::uint32_t> childBegin, childCount;
        std::size_t depth = 0;
        bool innerAllBounding = true;
    };
    /// A subtree copied on a thread: the node whose block it starts with, and where its copy
    /// lies among the parts.
    struct Subtree {
        const TreeNode* node;
        std::size_t part;
        std::uint32_t begin, end;
    };
    /// Per thread of the last build on threads (kept for their capacity).
    std::vector<Part> parts;
    std::vector<Subtree> subtrees;

    static bool isBounding(const TreeNode* copied);
    /// Appends node to a part's arrays; returns its index there.
    static std::uint32_t appendTo(Part& into, TreeNode* node);
    /// copyChildren into a part: the block of node's children (node being at slot, at depth
    /// level), then each child's own, depth first; raises deepest to the depth of the blocks.
    static void copyInto(Part& into, const TreeNode* node, std::uint32_t slot, std::size_t level,
                         std::size_t& deepest);
    /// copyChildren from the root, with the subtrees below the nodes at depth cut copied on
    /// threads into parts first, then into their places.
    void copyOnThreads(TreeNode* root, int threads);
    /// The non-leaf nodes at depth cut below node (at depth level), in the copy's order.
    static void collectCut(const TreeNode* node, std::size_t level, std::size_t cut,
                           std::vector<Subtree>& found);
    /// copyChildren above the depth cut; each subtree below it, in the order found, gets the
    /// room its part needs and the block of its node.
    void layOutAbove(const TreeNode* node, std::uint32_t slot, std::size_t level, std::size_t cut,
                     std::size_t& next, std::vector<std::uint32_t>& offsets);
    Vector3 center(std::uint32_t slot) const {
        return Vector3(centerX[slot], centerY[slot], centerZ[slot]);
    }
    /// walk(begin, count, visit) on threads: the levels down to the shallowest depth with a few
    /// nodes per thread in order, then the subtrees the walk enters there, each on a thread,
    /// into its own list. visit(slot, out) appends a leaf's result to out, which collects the
    /// results in the walk's order.
    template <class Visit>
    void walkOnThreads(int threads, Visit& visit, std::vector<Body*>& out) const;
    template <class Visit> void walk(std::uint32_t begin, std::uint32_t count, Visit& visit) const {
        // visit handles a leaf itself and says whether the walk goes below an inner node.
        for (std::uint32_t slot = begin; slot < begin + count; ++slot) {
            if (visit(slot) && !isLeaf(slot)) {
                walk(childBegin[slot], childCount[slot], visit);
            }
        }
    }
    /// The sweep walk from the root: reach(slot) for every leaf reached, in the walk's order.
    template <class Reach> void sweep(const SweptSphere& sweep, Reach& reach) const;
};

template <class Hits>
void QuerySnapshot::collect(const Hits& hits, BodyList& bodies, TimeList* times) const {
    auto visit = [&](std::uint32_t slot) {
        bool leaf = isLeaf(slot);
        float time = 0.0f;
        bool hit = hits(center(slot), radius[slot], leaf && times != nullptr ? &time : nullptr);
        if (hit && leaf) {
            bodies.push_back(body[slot]);
            if (times != nullptr) {
                times->push_back(time);
            }
        }
        return hit;
    };
    walk(0, 1, visit);
}

} // namespace spheres
