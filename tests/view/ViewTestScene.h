#pragma once

#include "app/CameraMatrices.h"
#include "app/ScenePopulation.h"
#include "body/SphereBody.h"
#include "world/World.h"

#include <vector>

using namespace spheres;

/// The program's start-up scene in a World of its own, bodies freed with it.
struct ViewTestScene {
    World world;
    std::vector<Body*> bodies;

    ViewTestScene(int count, std::uint32_t seed, float spread)
        : bodies(makeStartScene(world, count, seed, spread)) {}
    ~ViewTestScene() {
        for (Body* body : bodies) {
            delete static_cast<SphereBody*>(body);
        }
    }
};
