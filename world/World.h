#pragma once

#include "body/BodyList.h"
#include "math/Vector3.h"
#include "spheretree/ThreadBudget.h"

#include <cstdint>
#include <list>
#include <unordered_map>
#include <vector>

namespace spheres {

class Body;
class Frustum;
class QuerySphereTree;

/// The simulation container: the bodies being simulated and the tree that indexes them.
///
/// The World owns its tree and destroys it with itself; it never destroys a body. Bodies must
/// outlive the World (the tree keeps pointing at bodies that have died, until they are removed).
///
/// A body is added once, with a finite, non-negative radius (see Body). A body added twice is
/// listed twice, integrated twice per step and gets two leaves; removeBody then forgets both
/// entries but frees only the earlier leaf, and a second removeBody frees the other.
///
/// The World must not change while it draws: a DebugDraw callback that steps it, adds or removes
/// a body frees nodes the drawing walk still visits. Validating builds (SPHERES_VALIDATE) stop
/// with a message when it happens.
class World {
public:
    /// An empty World with a new tree; sets the process-wide tree parameters.
    World();
    World(const World&) = delete;
    World& operator=(const World&) = delete;
    virtual ~World();

    /// Integrates every alive body, forgets the dead ones, then updates the tree once. A body
    /// whose position or velocity is not finite after its integration dies.
    virtual void step(float dt);
    /// Draws the tree's leaves through the tree's drawing interface, if one is set.
    virtual void draw();
    /// Appends body and queues it in the tree; queries find it after the next step. Returns 1.
    virtual int addBody(Body* body);
    /// Forgets every entry of body and frees one of its leaves, also one whose body died by
    /// leaving the root or breaking what the tree accepts. Returns 1. Constant time for a body
    /// added once.
    virtual int removeBody(Body* body);
    virtual void queryRay(const Vector3& origin, const Vector3& direction, BodyList& bodies,
                          TimeList& times);
    virtual void querySegment(const Vector3& start, const Vector3& end, BodyList& bodies,
                              TimeList& times);
    virtual void queryFrustum(const Frustum& frustum, BodyList& bodies);
    virtual void querySphere(const Vector3& center, float radius, BodyList& bodies);
    virtual void querySweep(Body* body, BodyList& bodies, TimeList& times);

    /// How many threads step() may share its work among: each alive body's integration, the
    /// tree's refresh of its leaves and the rebuild of its query snapshot. With more than one,
    /// integrate() runs for different bodies at once, so it must touch nothing but its own body
    /// (Body's does). The results are the same on any number of threads; a build without
    /// OpenMP always uses one. One by default.
    void setThreads(const ThreadBudget& budget);
    const ThreadBudget& getThreads() const { return threads; }

    /// The bodies being simulated, in the order they were added.
    const std::list<Body*>& getBodies() const { return bodies; }
    QuerySphereTree& getTree() { return *tree; }
    const QuerySphereTree& getTree() const { return *tree; }

private:
    using Entry = std::list<Body*>::iterator;
    /// A body's entries in bodies: how many, and the earliest.
    struct Entries {
        Entry first;
        std::uint32_t count;
    };

    std::list<Body*> bodies;
    QuerySphereTree* tree;
    std::unordered_map<const Body*, Entries> entriesOfBody;
    ThreadBudget threads;
    /// The alive bodies of a step integrated on threads (kept for its capacity).
    std::vector<Body*> moving;

    /// Unlinks the entry at it and returns the one after it.
    Entry unlink(Entry it);
    /// step's integrations shared among threads.
    void integrateOnThreads(float dt, int threads);
    /// Stops a validating build when the World is changed from inside its own draw().
    void checkNotDrawing(const char* operation) const;
};

} // namespace spheres
