#pragma once

namespace spheres {

struct TreeNode;

/// Follows one sweep query through the tree, for viewers and tests: the walk calls it for every
/// node it enters, in the order it enters them. It only watches; the results do not change.
class SweepVisitor {
public:
    /// An inner node tested against the query body's present sphere; when accepted, its children
    /// are entered next.
    virtual void enterNode(const TreeNode& node, bool accepted) = 0;
    /// A leaf reached (the query body's own leaf too), and whether its exact moving-sphere test
    /// reported a contact at the step fraction time.
    virtual void reachLeaf(const TreeNode& leaf, bool contact, float time) = 0;

protected:
    ~SweepVisitor() = default;
};

} // namespace spheres
