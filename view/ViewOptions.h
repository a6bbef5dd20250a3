#pragma once

#include "sim/SimOptions.h"

#include <string>
#include <vector>

namespace spheres {

/// Everything sphere-view reads from its command line.
struct ViewOptions {
    /// The scene and the run as sphere-sim reads them (--bodies, --seed, --spread, --keys,
    /// --trace, --frames), so that one command line means the same scene and presses in both.
    SimOptions scene;
    /// Whether --frames was given: then the view ends after that simulated frame.
    bool framesGiven = false;
    /// PNG written of the picture of the last frame (--frames, default 0) before the view ends.
    std::string screenshotPath;
    /// Simulated frames per second; 0 runs one frame per drawn picture, as fast as it can draw.
    double rate = 30.0;
    bool help = false;
    bool version = false;
    /// GLUT's own options (-display, -geometry, ...), with the program name first, for glutInit.
    std::vector<std::string> glutArguments;
};

/// The outcome of reading the command line: options, or the message of the first bad argument.
struct ViewParseResult {
    ViewOptions options;
    /// Empty when the command line is valid; otherwise names the option and the bad value.
    std::string error;
};

/// The highest simulation rate, in frames per second.
constexpr double maxViewRate = 960.0;

/// Reads argv[1..argc). Options the view shares with sphere-sim are checked by sphere-sim's own
/// reader; GLUT's options are set apart for glutInit. Files are not touched.
ViewParseResult parseViewOptions(int argc, const char* const* argv);

/// The --help text.
const char* viewUsage();

} // namespace spheres
