#include "app/Scenes.h"

#include "app/AppGlobals.h"
#include "app/ScenePopulation.h"
#include "body/SphereBody.h"
#include "world/World.h"

#include <algorithm>
#include <cmath>

namespace spheres {

namespace {

// Each body of a scene takes its draws from the program's generator in a fixed order, and each
// value is a float expression of its draw written once, here: the same on every build.

/// The program's draws 2 to 4: a position component from -5000 to 4999.
float programCoordinate(SceneRandom& random) {
    return static_cast<float>(random.next() % 10000) - 5000.0f;
}

/// The program's draws 5 to 7: a velocity component from -500 to 499.
float programSpeed(SceneRandom& random) {
    return static_cast<float>(random.next() % 1000) - 500.0f;
}

/// The program's draw 8: a whole mass from 0 to 999.
float programMass(SceneRandom& random) {
    return static_cast<float>(random.next() % 1000);
}

/// The program's three components of a vector, z drawn first and x last.
template <class Draw> Vector3 drawVector(SceneRandom& random, Draw draw) {
    float z = draw(random);
    float y = draw(random);
    float x = draw(random);
    return Vector3(x, y, z);
}

/// The program's body, its radius from draw 1 by radiusOf: radius, position (scaled by spread),
/// velocity, mass.
template <class RadiusOf>
BodyStart programBody(SceneRandom& random, float spread, RadiusOf radiusOf) {
    BodyStart body;
    body.radius = radiusOf(random.next());
    body.position = drawVector(random, programCoordinate) * spread;
    body.velocity = drawVector(random, programSpeed);
    body.mass = programMass(random);
    return body;
}

float programRadius(int draw) {
    return static_cast<float>(draw % 1000) + 50.0f;
}

/// 50 + 4950 X^10 with X = draw / 32768 in [0, 1): half the bodies below 55, about one in seven
/// above 1 000, none above 5 000.
float heavyTailRadius(int draw) {
    float x = static_cast<float>(draw) * (1.0f / 32768.0f);
    float x2 = x * x;
    float x4 = x2 * x2;
    float x8 = x4 * x4;
    return 50.0f + 4950.0f * (x8 * x2);
}

/// Clumps of about 100 bodies, each within 1 500 of its clump's centre, the centres drawn as the
/// program's positions (so they fill the scene's cube), body i in clump i mod clumps. The bodies
/// are smaller (50 to 549) and ten times slower than the program's, so that the clumps keep
/// their shape for a few hundred frames.
std::vector<BodyStart> drawClusters(SceneRandom& random, int count, float spread) {
    int clumps = std::max(1, count / 100);
    std::vector<Vector3> centers;
    for (int c = 0; c < clumps; ++c) {
        centers.push_back(drawVector(random, programCoordinate) * spread);
    }
    auto offsetComponent = [](SceneRandom& r) {
        return static_cast<float>(r.next() % 3001) - 1500.0f;
    };
    auto slowSpeed = [](SceneRandom& r) { return static_cast<float>(r.next() % 100) - 50.0f; };
    std::vector<BodyStart> bodies(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        BodyStart& body = bodies[static_cast<std::size_t>(i)];
        body.radius = static_cast<float>(random.next() % 500) + 50.0f;
        // Offsets drawn in the cube until one lies in the ball: about two tries in three.
        Vector3 offset;
        do {
            offset = drawVector(random, offsetComponent);
        } while (offset.lengthSquared() > 1500.0f * 1500.0f);
        body.position = centers[static_cast<std::size_t>(i % clumps)] + offset;
        body.velocity = drawVector(random, slowSpeed);
        body.mass = programMass(random);
    }
    return bodies;
}

/// The program's bodies moved onto a sphere about the origin, 5 000 x spread^1.5 in radius (so
/// the bodies per area stay the same when spread keeps the density of a volume), each in the
/// direction of a program position drawn between 1 000 and 5 000 from the origin (drawn again
/// otherwise), with the part of the program's velocity along the sphere only.
std::vector<BodyStart> drawShell(SceneRandom& random, int count, float spread) {
    float shellRadius = 5000.0f * (spread * std::sqrt(spread));
    std::vector<BodyStart> bodies(static_cast<std::size_t>(count));
    for (BodyStart& body : bodies) {
        body.radius = programRadius(random.next());
        Vector3 direction;
        float length2;
        do {
            direction = drawVector(random, programCoordinate);
            length2 = direction.lengthSquared();
        } while (length2 < 1000.0f * 1000.0f || length2 > 5000.0f * 5000.0f);
        Vector3 normal = direction.normalized();
        body.position = normal * shellRadius;
        Vector3 velocity = drawVector(random, programSpeed);
        body.velocity = velocity - normal * velocity.dot(normal);
        body.mass = programMass(random);
    }
    return bodies;
}

} // namespace

const char* const sceneNames[] = {"program", "sizes", "clusters", "giants", "shell", nullptr};

const std::vector<SceneInfo>& sceneCatalogue() {
    static const std::vector<SceneInfo> catalogue = {
        {Scene::Program, sceneNames[0], "the program's start scene (the default)"},
        {Scene::Sizes, sceneNames[1], "radii from 50 to 5 000, most near 50"},
        {Scene::Clusters, sceneNames[2], "slow bodies in dense clumps of about 100"},
        {Scene::Giants, sceneNames[3], "the program's scene, every 500th body 20 000 in radius"},
        {Scene::Shell, sceneNames[4], "bodies sliding over a hollow sphere"},
    };
    return catalogue;
}

const char* sceneName(Scene scene) {
    for (const SceneInfo& info : sceneCatalogue()) {
        if (info.scene == scene) {
            return info.name;
        }
    }
    return "unknown";
}

bool findScene(const std::string& name, Scene& scene) {
    for (const SceneInfo& info : sceneCatalogue()) {
        if (name == info.name) {
            scene = info.scene;
            return true;
        }
    }
    return false;
}

std::vector<BodyStart> drawScene(Scene scene, int count, std::uint32_t seed, float spread) {
    SceneRandom random(seed);
    std::vector<BodyStart> bodies;
    switch (scene) {
    case Scene::Clusters:
        return drawClusters(random, count, spread);
    case Scene::Shell:
        return drawShell(random, count, spread);
    case Scene::Program:
    case Scene::Sizes:
    case Scene::Giants:
        break;
    }
    for (int i = 0; i < count; ++i) {
        bodies.push_back(programBody(random, spread, [&](int draw) {
            if (scene == Scene::Sizes) {
                return heavyTailRadius(draw);
            }
            return scene == Scene::Giants && i % 500 == 0 ? 20000.0f : programRadius(draw);
        }));
    }
    return bodies;
}

std::vector<Body*> addSceneBodies(World& world, Scene scene, int count, std::uint32_t seed,
                                  float spread) {
    std::vector<Body*> bodies;
    for (const BodyStart& start : drawScene(scene, count, seed, spread)) {
        Body* body = new SphereBody(start.position, start.radius);
        body->setVelocity(start.velocity);
        body->setAcceleration(start.velocity * -0.1f);
        body->setMass(start.mass);
        world.addBody(body);
        bodies.push_back(body);
    }
    return bodies;
}

std::vector<Body*> makeSceneStart(World& world, Scene scene, int count, std::uint32_t seed,
                                  float spread) {
    std::vector<Body*> bodies = addSceneBodies(world, scene, count, seed, spread);
    world.step(1.0e-9f);
    return bodies;
}

void buildScene(Scene scene, int count, std::uint32_t seed, float spread) {
    if (scene == Scene::Program) {
        buildScene(count, seed, spread);
        return;
    }
    world = new World();
    std::vector<Body*> bodies = makeSceneStart(*world, scene, count, seed, spread);
    bodyCount = count;
    bodyArray = new Body*[bodies.size()];
    std::copy(bodies.begin(), bodies.end(), bodyArray);
}

} // namespace spheres
