#include "app/FrameLogic.h"

#include "body/CollisionResponse.h"
#include "spheretree/QuerySphereTree.h"
#include "world/World.h"

FrameOutcome simulateFrame(World& world, Body* const* bodies, int count, bool running,
                           float timeStep, const Frustum& frustum, BodyList& visible,
                           const FrameSettings& settings) {
    FrameOutcome outcome;
    if (running) {
        world.step(timeStep);
    }

    // Each body's earliest contact is resolved before the next body's query runs, so later
    // queries see what earlier responses changed.
    BodyList hits;
    TimeList times;
    for (int i = 0; i < count; ++i) {
        Body* body = bodies[i];
        if (body == settings.watched && settings.visitor) {
            world.getTree().querySweep(body, hits, times, *settings.visitor);
        } else {
            world.querySweep(body, hits, times);
        }
        if (resolveEarliestContact(body, hits, times)) {
            ++outcome.contacts;
        }
        hits.clear();
        times.clear();
    }

    // Counted as what this query appended, so a list that was not empty still gives the frame's
    // own number.
    std::size_t before = visible.size();
    world.queryFrustum(frustum, visible);
    outcome.drawn = static_cast<int>(visible.size() - before);
    return outcome;
}
