#include "world/World.h"

#include "body/Body.h"
#include "spheretree/QuerySphereTree.h"

namespace spheres {

World::World() : tree(new QuerySphereTree()) {}

World::~World() {
    bodies.clear();
    delete tree;
}

void World::step(float dt) {
    for (auto it = bodies.begin(); it != bodies.end();) {
        Body* body = *it;
        if (body->isAlive()) {
            body->integrate(dt);
            // An overflowing integration (or a non-finite value given to the body) ends it here,
            // also when the tree holds no leaf for it to strand.
            if (!isFinite(body->getPosition()) || !isFinite(body->getVelocity())) {
                body->setAlive(false);
            }
            ++it;
        } else {
            it = bodies.erase(it);
        }
    }
    tree->update();
}

void World::draw() {
    tree->draw();
}

int World::addBody(Body* body) {
    bodies.push_back(body);
    tree->insert(body);
    return 1;
}

int World::removeBody(Body* body) {
    bodies.remove(body);
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
