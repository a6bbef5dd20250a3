#pragma once

#include "app/FrameLogic.h"
#include "app/Scenes.h"

#include <cstdint>
#include <string>
#include <vector>

namespace spheres {

/// One key press fed to the program's key handler after a given frame.
struct KeyPress {
    /// The press happens after frame `afterFrame` (0: after start-up) and before the next one.
    int afterFrame = 0;
    /// The character code handed to the key handler (27 for Escape).
    unsigned char key = 0;
};

/// The largest scene the programs build (about 0.5 GB; a frame then takes minutes).
constexpr int maxBodies = 1000000;

/// The most threads --threads accepts.
constexpr int maxThreads = 256;

/// sphere-view's highest simulation rate, in frames per second.
constexpr double maxViewRate = 960.0;

/// What both programs read from their command line, so that one command line means the same
/// scene, presses and trace in both. Each program's own options derive from it; the option table
/// (options/CommandLine.cpp) gives every field its option.
struct ProgramOptions {
    int frames = 300;
    /// The start scene; every scene scales with the body count at constant density.
    Scene scene = Scene::Program;
    int bodies = 100;
    std::uint32_t seed = 1;
    /// Position scale; when not given, the one that keeps the density of the 100-body scene.
    float spread = 1.0f;
    /// Presses in the order they happen: by frame, then in the order given.
    std::vector<KeyPress> keys;
    std::string tracePath;
    bool help = false;
    bool version = false;
};

/// What only sphere-sim reads.
struct SimOptions : ProgramOptions {
    int every = 1;
    std::string framesPath;
    /// How the frames run their queries (--walk) and on how many threads (--threads; default
    /// the number of cores); neither changes what they compute.
    FrameWalk walk = FrameWalk::Batched;
    int threads = 1;
    bool printDrawn = false;
    /// Adds each frame's computing time in milliseconds to the frames table.
    bool timings = false;
    bool quiet = false;
};

/// What only sphere-view reads.
struct ViewOptions : ProgramOptions {
    /// Whether --frames was given: then the view ends after that simulated frame.
    bool framesGiven = false;
    /// PNG written of the picture of the last frame (--frames, default 0) before the view ends.
    std::string screenshotPath;
    /// Simulated frames per second; 0 runs one frame per drawn picture, as fast as it can draw.
    double rate = 30.0;
    /// GLUT's own options (-display, -geometry, ...), with the program name first, for glutInit.
    std::vector<std::string> glutArguments;
};

} // namespace spheres
