#pragma once

#include "app/FrameLogic.h"
#include "body/BodyList.h"
#include "frustum/MatrixFrustum.h"
#include "world/World.h"

#include <vector>

using namespace spheres;

/// A benchmark scene: the program's start-up scene with n bodies at the density of the 100-body
/// scene, run for a number of warm-up frames with the default camera. Owns its bodies.
class BenchScene {
public:
    /// Frames run before measuring: measurements start at frame 11.
    static constexpr int warmUpFrames = 10;

    BenchScene(int bodies, int warmUp = warmUpFrames);
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
