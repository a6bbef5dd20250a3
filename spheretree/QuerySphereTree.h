#pragma once

#include "body/BodyList.h"
#include "spheretree/NodeIntersection.h"
#include "spheretree/QuerySnapshot.h"
#include "spheretree/SphereTree.h"
#include "spheretree/SweptSphere.h"

namespace spheres {

class DebugDraw;
class Frustum;
class SweepVisitor;

/// Which walk the tree's queries take; both give the same results in the same order.
enum class QueryWalk {
    /// Down the nodes' children lists (the reference).
    Literal,
    /// Through the contiguous copy of the tree (QuerySnapshot), rebuilt after every change.
    Snapshot,
};

/// The tree the World uses (final: it has no virtual destructor and is destroyed as itself). It
/// kills the bodies whose leaves leave the root, and answers spatial
/// queries by walking down from the root and pruning every node whose sphere cannot hold a
/// result. Results come in depth-first order, children in the order they were added; queries
/// only append to the caller's lists (body first, then its time) and change nothing else.
/// Every leaf reachable from the root is visited, also one whose body has died. A ray, segment,
/// sphere or frustum query with a NaN or an infinity in its arguments finds nothing (a sphere
/// of radius +infinity excepted, which holds every leaf). Their finite arguments of any size give
/// the geometric answer: where a square would overflow in floats the test runs in double. The
/// sweep query takes a body as the World accepts it (finite values), with a radius below 1e18.
class QuerySphereTree final : public SphereTree {
public:
    /// The radius of the fixed root sphere at the origin; a body whose swept sphere does not lie
    /// strictly inside it dies.
    static constexpr float rootRadius = 524288.0f;

    QuerySphereTree();
    QuerySphereTree(const QuerySphereTree&) = delete;
    QuerySphereTree& operator=(const QuerySphereTree&) = delete;
    ~QuerySphereTree() = default;

    // Each of these can change the reachable nodes or their spheres, so it marks the snapshot
    // stale; the next query rebuilds it.
    void remove(Body* body) override;
    void removeNode(TreeNode* node) override;
    void update() override;
    void integrateNode(TreeNode* leaf, TreeNode* parent) override;
    int recomputeNode(TreeNode* node) override;

    /// Draws every leaf's body at its present position through the drawing interface set with
    /// setDebugDraw; draws nothing while none is set. The drawing interface must not change the
    /// tree (validating builds stop when it does).
    virtual void draw();
    /// Leaves hit by the ray from origin along direction, with the distance to the entry point
    /// (to the exit point where the origin is inside). A direction whose length is within 1e-5
    /// of 1 is taken as given; any other is normalised first; the zero vector finds nothing.
    virtual void queryRay(const Vector3& origin, const Vector3& direction, BodyList& bodies,
                          TimeList& times);
    /// Leaves hit by the segment, with the segment parameter (0 at start, 1 at end) where it
    /// enters (leaves, when start is inside). A zero-length segment reports the leaves that hold
    /// the point strictly inside, at time 0.
    virtual void querySegment(const Vector3& start, const Vector3& end, BodyList& bodies,
                              TimeList& times);
    /// Bodies whose present sphere is not wholly outside any of the six planes.
    virtual void queryFrustum(const Frustum& frustum, BodyList& bodies);
    /// Leaves whose sphere overlaps the given sphere (touching does not count). A negative
    /// radius finds nothing; -0 is a radius of 0.
    virtual void querySphere(const Vector3& center, float radius, BodyList& bodies);
    /// Other bodies that body met over the last step, each moving straight from its previous to
    /// its present position, with the step fraction of first contact (-0.001 to 1.001). Nodes
    /// are pruned with body's present sphere.
    virtual void querySweep(Body* body, BodyList& bodies, TimeList& times);

    /// querySweep through the literal walk, with visitor told of every node the walk enters;
    /// the same results.
    void querySweep(Body* body, BodyList& bodies, TimeList& times, SweepVisitor& visitor);
    /// Every leaf that body's sweep query reaches other than its own, in the order reached, with
    /// the exact test's verdict; the contacts among them are querySweep's results. It reads
    /// only, so once refreshSnapshot() has run it may run on several threads at once, until the
    /// tree next changes.
    void querySweepReached(Body* body, std::vector<SweepReach>& reached);

    /// Chooses the walk of the queries (Snapshot by default).
    void setQueryWalk(QueryWalk walk) { queryWalk = walk; }
    QueryWalk getQueryWalk() const { return queryWalk; }
    /// Whether the snapshot's sweep walk may use the processor's vector instructions (by default
    /// where it has them) or runs the portable code that every build has; the same results.
    void setVectorised(bool on) { snapshot.setVectorised(on); }
    /// Marks the snapshot stale. The tree's own operations do this; code that writes node fields
    /// directly must call it before the next query.
    void invalidate() { snapshotState = SnapshotState::Stale; }
    /// The snapshot, rebuilt first if the tree changed since it was built.
    const QuerySnapshot& refreshSnapshot();
    /// SphereTree::countNodes, without a walk of the tree while the snapshot is fresh (as it is
    /// after every update that the snapshot walk runs with): the snapshot counted the nodes
    /// reachable from the root when it copied them.
    std::size_t countNodes() const;
    /// Where draw() sends the bodies; null (the default) draws nothing. Not owned.
    void setDebugDraw(DebugDraw* drawer) { debugDraw = drawer; }
    /// Whether draw() is running: its callbacks must leave the tree alone.
    bool isDrawing() const { return drawing; }

private:
    DebugDraw* debugDraw = nullptr;
    bool drawing = false;
    QueryWalk queryWalk = QueryWalk::Snapshot;
    QuerySnapshot snapshot;
    /*
     * How far the snapshot matches the tree. The queries walk it only while it is Exact. An
     * update that begins with it Exact also reads it for placement (Placing), from its start to
     * its first recompute or removal: until then the bounding nodes change only by placement,
     * which grows radii and adds children (leaves, and new bounding nodes), while the update's
     * first phase only detaches leaves. So the copy still holds every copied bounding node's
     * centre, its radius (a growth writes the new one into the copy too) and, for a node that
     * has gained no bounding child, its bounding children in list order, which is all the rule
     * needs beside what a growth reads from the nodes themselves
     * (QuerySnapshot::place). Below a node that gained one (marked in gainedChild, by slot), or
     * one made in this update, placement scans the children lists instead. Anything else, and
     * the end of the update, leaves it Stale: the next query rebuilds it.
     */
    enum class SnapshotState { Exact, Placing, Stale };
    SnapshotState snapshotState = SnapshotState::Stale;
    std::vector<char> gainedChild;

    void drawNode(TreeNode* node);
    void queryRayNode(const Vector3& origin, const Vector3& direction, TreeNode* node,
                      BodyList& bodies, TimeList& times);
    void querySegmentNode(const Segment& segment, TreeNode* node, BodyList& bodies,
                          TimeList& times);
    void queryFrustumNode(const Frustum& frustum, TreeNode* node, BodyList& bodies);
    void querySphereNode(const Vector3& center, float radius, TreeNode* node, BodyList& bodies);
    void querySweepNode(const SweptSphere& sweep, TreeNode* node, BodyList& bodies, TimeList& times,
                        SweepVisitor* visitor);
};

} // namespace spheres
