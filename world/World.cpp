#include "world/World.h"

#include "body/Body.h"
#include "spheretree/QuerySphereTree.h"

#include <cstdio>
#include <cstdlib>

#ifdef _OPENMP
#include <omp.h>
#endif

namespace spheres {

World::World() : tree(new QuerySphereTree()) {}

World::~World() {
    bodies.clear();
    delete tree;
}

void World::checkNotDrawing([[maybe_unused]] const char* operation) const {
#ifdef SPHERES_VALIDATE
    if (tree->isDrawing()) {
        std::fprintf(stderr,
                     "World::%s called while the World draws (from a DebugDraw callback): the "
                     "drawing walk would visit freed nodes; change the World between draws\n",
                     operation);
        std::abort();
    }
#endif
}

World::Entry World::unlink(Entry it) {
    // Every entry of a dead body goes in the same walk (a later one only, when an earlier one's
    // integration killed it), so the earliest entry needs no update.
    auto known = entriesOfBody.find(*it);
    if (--known->second.count == 0) {
        entriesOfBody.erase(known);
    }
    return bodies.erase(it);
}

namespace {

void integrateBody(Body* body, float dt) {
    body->integrate(dt);
    // An overflowing integration (or a non-finite value given to the body) ends it here, also
    // when the tree holds no leaf for it to strand.
    if (!isFinite(body->getPosition()) || !isFinite(body->getVelocity())) {
        body->setAlive(false);
    }
}

} // namespace

void World::setThreads(const ThreadBudget& budget) {
    threads = budget;
    tree->setThreads(budget);
}

void World::step(float dt) {
    checkNotDrawing("step");
#ifdef _OPENMP
    int team = threads.threadsFor(bodies.size());
#else
    int team = 1;
#endif
    // A body listed twice is integrated twice, the second time from what the first left, and
    // may die in the first: only the walk in list order keeps that.
    if (team > 1 && entriesOfBody.size() == bodies.size()) {
        integrateOnThreads(dt, team);
    } else {
        for (auto it = bodies.begin(); it != bodies.end();) {
            if ((*it)->isAlive()) {
                integrateBody(*it, dt);
                ++it;
            } else {
                it = unlink(it);
            }
        }
    }
    tree->update();
}

void World::integrateOnThreads(float dt, [[maybe_unused]] int team) {
    // The dead go first, in list order, as the walk would unlink them; a body dying in its own
    // integration stays listed until the next step, as in the walk. Each integration reads and
    // writes its own body only, so they run in any order.
    moving.clear();
    for (auto it = bodies.begin(); it != bodies.end();) {
        if ((*it)->isAlive()) {
            moving.push_back(*it);
            ++it;
        } else {
            it = unlink(it);
        }
    }
    int count = static_cast<int>(moving.size());
#ifdef _OPENMP
#pragma omp parallel for num_threads(team) schedule(static)
#endif
    for (int i = 0; i < count; ++i) {
        integrateBody(moving[static_cast<std::size_t>(i)], dt);
    }
}

void World::draw() {
    tree->draw();
}

int World::addBody(Body* body) {
    checkNotDrawing("addBody");
    Entry entry = bodies.insert(bodies.end(), body);
    ++entriesOfBody.try_emplace(body, Entries{entry, 0}).first->second.count;
    tree->insert(body);
    return 1;
}

int World::removeBody(Body* body) {
    checkNotDrawing("removeBody");
    auto known = entriesOfBody.find(body);
    if (known != entriesOfBody.end()) {
        if (known->second.count == 1) {
            bodies.erase(known->second.first);
        } else {
            bodies.remove(body);
        }
        entriesOfBody.erase(known);
    }
    tree->remove(body);
    return 1;
}

void World::queryRay(const Vector3& origin, const Vector3& direction, BodyList& bodies,
                     TimeList& times) {
    tree->queryRay(origin, direction, bodies, times);
}

void World::querySegment(const Vector3& start, const Vector3& end, BodyList& bodies,
                         TimeList& times) {
    tree->querySegment(start, end, bodies, times);
}

void World::queryFrustum(const Frustum& frustum, BodyList& bodies) {
    tree->queryFrustum(frustum, bodies);
}

void World::querySphere(const Vector3& center, float radius, BodyList& bodies) {
    tree->querySphere(center, radius, bodies);
}

void World::querySweep(Body* body, BodyList& bodies, TimeList& times) {
    tree->querySweep(body, bodies, times);
}

} // namespace spheres
