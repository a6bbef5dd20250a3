#pragma once

#include "app/FrameLogic.h"
#include "app/Scenes.h"
#include "body/BodyList.h"
#include "frustum/MatrixFrustum.h"
#include "world/World.h"

#include <vector>

using namespace spheres;

/// A benchmark scene: a start scene (the program's by default) with n bodies at the density of
/// the 100-body scene, run for a number of warm-up frames with the default camera. Owns its
/// bodies.
class BenchScene {
public:
    /// Frames run before measuring: measurements start at frame 11.
    static constexpr int warmUpFrames = 10;

    explicit BenchScene(int bodies, Scene scene = Scene::Program, int warmUp = warmUpFrames);
    BenchScene(const BenchScene&) = delete;
    BenchScene& operator=(const BenchScene&) = delete;
    ~BenchScene();

    /// One frame of the program through the tree.
    FrameOutcome treeFrame(const FrameSettings& settings = FrameSettings());
    /// One frame with every query a scan over all bodies.
    FrameOutcome bruteForceFrame();

    World world;
    std::vector<Body*> bodies;
    /// The default camera's frustum, as the program's first frame sees it.
    MatrixFrustum frustum;
    BodyList visible;
};
