#include "sim/SimScene.h"

#include "app/CameraMatrices.h"
#include "app/ScenePopulation.h"
#include "body/Body.h"
#include "world/World.h"

std::vector<Body*> buildScene(World& world, int count, std::uint32_t seed, float spread) {
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

MatrixFrustum defaultCameraFrustum() {
    float projection[16];
    float modelview[16];
    defaultProjectionMatrix(projection);
    cameraModelviewMatrix(0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, modelview);
    return MatrixFrustum(projection, modelview);
}
