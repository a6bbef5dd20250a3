#pragma once

#include "options/ProgramOptions.h"

#include <string>

namespace spheres {

/// The outcome of reading the command line: options, or the message of the first bad argument.
struct ViewParseResult {
    ViewOptions options;
    /// Empty when the command line is valid; otherwise names the option and the bad value.
    std::string error;
};

/// Reads argv[1..argc) by the option table (options/CommandLine.h), the options sphere-view shares
/// with sphere-sim meaning the same; GLUT's options are set apart for glutInit. Without --frames
/// frames is 0. Checks that the outputs can be written; files are not touched.
ViewParseResult parseViewOptions(int argc, const char* const* argv);

/// The --help text.
const char* viewUsage();

} // namespace spheres
