#include "app/BruteForceFrame.h"

#include "body/Body.h"
#include "body/CollisionResponse.h"
#include "frustum/Frustum.h"
#include "spheretree/NodeIntersection.h"
#include "spheretree/QuerySphereTree.h"
#include "spheretree/SweptSphere.h"
#include "world/World.h"

namespace spheres {

void bruteForceSweep(Body* body, Body* const* bodies, int count, BodyList& hits, TimeList& times) {
    // The tree's own leaf test, so that both give the same times.
    SweptSphere sweep(body);
    for (int i = 0; i < count; ++i) {
        Body* other = bodies[i];
        float t;
        if (other != body && sweep.contactTime(other, t)) {
            hits.push_back(other);
            times.push_back(t);
        }
    }
}

void bruteForceFrustum(const Frustum& frustum, Body* const* bodies, int count, BodyList& visible) {
    for (int i = 0; i < count; ++i) {
        Body* body = bodies[i];
        float radius = body->getRadius();
        Vector3 center = body->getPosition();
        bool inside = true;
        for (int p = 0; p < 6 && inside; ++p) {
            inside = !sphereOutsidePlane(*frustum.getPlane(p), center, radius);
        }
        if (inside) {
            visible.push_back(body);
        }
    }
}

void stepWithoutTree(Body* const* bodies, int count, float timeStep) {
    for (int i = 0; i < count; ++i) {
        Body* body = bodies[i];
        if (!body->isAlive()) {
            continue;
        }
        body->integrate(timeStep);
        // The root's half of the tree's escape rule: the swept sphere does not fit inside it.
        float fit = QuerySphereTree::rootRadius -
                    (body->getSweptCenter().length() + body->getSweptRadius());
        if (!(fit > 0.0f)) {
            body->setAlive(false);
        }
    }
}

FrameOutcome bruteForceFrame(World& world, Body* const* bodies, int count, bool running,
                             float timeStep, const Frustum& frustum, BodyList& visible) {
    FrameOutcome outcome;
    // Whether a body left the root depends on the tree's node above its leaf, so the step is
    // the World's: both frames kill the same bodies.
    if (running) {
        world.step(timeStep);
    }

    BodyList hits;
    TimeList times;
    for (int i = 0; i < count; ++i) {
        Body* body = bodies[i];
        bruteForceSweep(body, bodies, count, hits, times);
        if (resolveEarliestContact(body, hits, times)) {
            ++outcome.contacts;
        }
        hits.clear();
        times.clear();
    }

    bruteForceFrustum(frustum, bodies, count, visible);
    outcome.drawn = static_cast<int>(visible.size());
    return outcome;
}

} // namespace spheres
