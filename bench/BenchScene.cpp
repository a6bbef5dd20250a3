#include "bench/BenchScene.h"

#include "app/CameraMatrices.h"
#include "body/SphereBody.h"
#include "sim/BruteForceFrame.h"
#include "sim/SimOptions.h"
#include "sim/SimScene.h"

BenchScene::BenchScene(int count, int warmUp) : frustum(defaultFrustum()) {
    bodies = buildScene(world, count, 1, defaultSpread(count));
    for (int i = 0; i < warmUp; ++i) {
        treeFrame();
    }
}

BenchScene::~BenchScene() {
    for (Body* body : bodies) {
        delete static_cast<SphereBody*>(body);
    }
}

FrameOutcome BenchScene::treeFrame() {
    visible.clear();
    return simulateFrame(world, bodies.data(), static_cast<int>(bodies.size()), true, 0.1f, frustum,
                         visible);
}

FrameOutcome BenchScene::bruteForceFrame() {
    visible.clear();
    return ::bruteForceFrame(bodies.data(), static_cast<int>(bodies.size()), true, 0.1f, frustum,
                             visible);
}

MatrixFrustum BenchScene::defaultFrustum() {
    float projection[16];
    float modelview[16];
    defaultProjectionMatrix(projection);
    cameraModelviewMatrix(0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, modelview);
    return MatrixFrustum(projection, modelview);
}
