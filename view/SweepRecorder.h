#pragma once

#include "math/Vector3.h"
#include "spheretree/SweepVisitor.h"

#include <vector>

namespace spheres {

class Body;

/// Keeps what one body's sweep query did, in the order the walk did it, so the view can show it
/// after the tree has changed: copies of the spheres, not the nodes themselves.
class SweepRecorder final : public SweepVisitor {
public:
    /// An inner node the walk tested.
    struct Node {
        Vector3 center;
        float radius;
        int level;
        bool accepted;
    };
    /// A leaf the walk reached, with the result of its exact moving-sphere test.
    struct Leaf {
        Vector3 center;
        float radius;
        Body* body;
        bool contact;
        float time;
    };

    /// Forgets the last query; the next one recorded is body's.
    void watch(Body* body);
    Body* watched() const { return queryBody; }

    void enterNode(const TreeNode& node, bool accepted) override;
    void reachLeaf(const TreeNode& leaf, bool contact, float time) override;

    const std::vector<Node>& nodes() const { return enteredNodes; }
    const std::vector<Leaf>& leaves() const { return reachedLeaves; }
    int acceptedCount() const;
    int rejectedCount() const;
    /// The contact the collision response picks: the first of the smallest times; null if none.
    const Leaf* earliestContact() const;
    /// The query body's previous and present position as the query read them.
    Vector3 pathStart() const { return from; }
    Vector3 pathEnd() const { return to; }
    /// The query body's radius as the query read it.
    float bodyRadius() const { return radius; }
    /// Whether a query has been recorded since watch().
    bool recorded() const { return !enteredNodes.empty(); }

private:
    Body* queryBody = nullptr;
    std::vector<Node> enteredNodes;
    std::vector<Leaf> reachedLeaves;
    Vector3 from;
    Vector3 to;
    float radius = 0.0f;
};

} // namespace spheres
