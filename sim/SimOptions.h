#pragma once

#include "app/FrameLogic.h"

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

/// Everything sphere-sim reads from its command line.
struct SimOptions {
    int frames = 300;
    int bodies = 100;
    std::uint32_t seed = 1;
    /// Position scale; when not given, the one that keeps the density of the 100-body scene.
    float spread = 1.0f;
    bool spreadGiven = false;
    /// Presses in the order they happen: by frame, then in the order given.
    std::vector<KeyPress> keys;
    std::string tracePath;
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
    bool help = false;
    bool version = false;
};

/// The outcome of reading the command line: options, or the message of the first bad argument.
struct ParseResult {
    SimOptions options;
    /// Empty when the command line is valid; otherwise names the option and the bad value.
    std::string error;
    /// What is allowed but probably not meant, such as a key press after the last frame.
    std::vector<std::string> warnings;
};

/// The largest scene sphere-sim builds (about 0.5 GB; a frame then takes minutes).
constexpr int maxBodies = 1000000;

/// The most threads --threads accepts.
constexpr int maxThreads = 256;

/// Reads argv[1..argc). Accepts "--name value" and "--name=value", each option once. Checks the
/// values and that every output path can be written (standard output too with --print-drawn);
/// no file is created or changed.
ParseResult parseSimOptions(int argc, const char* const* argv);

/// Reads a --keys list such as "100:b,150:space,300:esc"; returns false and sets error if bad.
bool parseKeyList(const std::string& text, std::vector<KeyPress>& keys, std::string& error);

/// The --help text.
const char* simUsage();

} // namespace spheres
