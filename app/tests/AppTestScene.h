#pragma once

#include "app/AppGlobals.h"
#include "app/ScenePopulation.h"
#include "world/World.h"

#include <memory>
#include <vector>

/// The program's scene as start-up builds it, wired into the application globals; the globals
/// point at it while it lives. Bodies are freed only at process end, as in the program.
struct AppTestScene {
    std::unique_ptr<World> sceneWorld = std::make_unique<World>();
    std::vector<Body*> bodies;

    explicit AppTestScene(int count = 100) {
        bodies = populateScene(*sceneWorld, count, 1);
        sceneWorld->step(1.0e-9f);
        world = sceneWorld.get();
        bodyArray = bodies.data();
        bodyCount = count;
    }
    ~AppTestScene() {
        world = nullptr;
        bodyArray = nullptr;
        bodyCount = 100;
    }
};
