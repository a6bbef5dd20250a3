#include "app/ScenePopulation.h"

#include "app/AppGlobals.h"
#include "body/SphereBody.h"
#include "world/World.h"

#include <algorithm>
#include <cmath>

namespace spheres {

int SceneRandom::next() {
    state = state * 214013u + 2531011u;
    return static_cast<int>((state >> 16) & 0x7FFFu);
}

std::vector<Body*> populateScene(World& world, int count, std::uint32_t seed) {
    SceneRandom random(seed);
    std::vector<Body*> bodies;
    for (int i = 0; i < count; ++i) {
        // Eight draws per body, in a fixed order: the radius before the position, and z before
        // y before x within each vector. Each remainder becomes a float before the offset.
        float radius = static_cast<float>(random.next() % 1000) + 50.0f;
        float z = static_cast<float>(random.next() % 10000) - 5000.0f;
        float y = static_cast<float>(random.next() % 10000) - 5000.0f;
        float x = static_cast<float>(random.next() % 10000) - 5000.0f;
        Body* body = new SphereBody(Vector3(x, y, z), radius);
        bodies.push_back(body);

        float vz = static_cast<float>(random.next() % 1000) - 500.0f;
        float vy = static_cast<float>(random.next() % 1000) - 500.0f;
        float vx = static_cast<float>(random.next() % 1000) - 500.0f;
        body->setVelocity(Vector3(vx, vy, vz));
        body->setAcceleration(body->getVelocity() * -0.1f);

        body->setMass(static_cast<float>(random.next() % 1000));
        world.addBody(body);
    }
    return bodies;
}

std::vector<Body*> makeStartScene(World& world, int count, std::uint32_t seed, float spread) {
    std::vector<Body*> bodies = populateScene(world, count, seed);
    // The waiting leaves take their spheres from the bodies at the first update, so moving the
    // bodies now places them at the scaled positions. The start-up step then makes the scaled
    // position the previous one as well.
    if (spread != 1.0f) {
        for (Body* body : bodies) {
            body->setPosition(body->getPosition() * spread);
        }
    }
    world.step(1.0e-9f);
    return bodies;
}

float defaultSpread(int bodies) {
    if (bodies == 100) {
        return 1.0f;
    }
    // C libraries round double cbrt differently in places (the page's against glibc), but for
    // every count from 1 to maxBodies theirs round to the same float, which is all the scene
    // reads: the web tests hash this over that whole range in both builds.
    return static_cast<float>(std::cbrt(static_cast<double>(bodies) / 100.0));
}

void buildScene(int count, std::uint32_t seed, float spread) {
    world = new World();
    std::vector<Body*> bodies = makeStartScene(*world, count, seed, spread);
    bodyCount = count;
    bodyArray = new Body*[bodies.size()];
    std::copy(bodies.begin(), bodies.end(), bodyArray);
}

} // namespace spheres
