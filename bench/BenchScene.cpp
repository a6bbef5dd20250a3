#include "bench/BenchScene.h"

#include "app/BruteForceFrame.h"
#include "app/CameraMatrices.h"
#include "app/ScenePopulation.h"
#include "body/SphereBody.h"

using namespace spheres;

BenchScene::BenchScene(int count, Scene scene, int warmUp) : frustum(defaultCameraFrustum()) {
    bodies = makeSceneStart(world, scene, count, 1, defaultSpread(count));
    for (int i = 0; i < warmUp; ++i) {
        treeFrame();
    }
}

BenchScene::~BenchScene() {
    for (Body* body : bodies) {
        delete static_cast<SphereBody*>(body);
    }
}

FrameOutcome BenchScene::treeFrame(const FrameSettings& settings) {
    visible.clear();
    return simulateFrame(world, bodies.data(), static_cast<int>(bodies.size()), true, 0.1f, frustum,
                         visible, settings);
}

FrameOutcome BenchScene::bruteForceFrame() {
    visible.clear();
    return ::bruteForceFrame(world, bodies.data(), static_cast<int>(bodies.size()), true, 0.1f,
                             frustum, visible);
}
