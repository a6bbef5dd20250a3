#pragma once

#include "options/ProgramOptions.h"

#include <string>
#include <vector>

namespace spheres {

/// The outcome of reading the command line: options, or the message of the first bad argument.
struct ParseResult {
    SimOptions options;
    /// Empty when the command line is valid; otherwise names the option and the bad value.
    std::string error;
    /// What is allowed but probably not meant, such as a key press after the last frame.
    std::vector<std::string> warnings;
};

/// Reads argv[1..argc) by the option table (options/CommandLine.h), then checks that every
/// output path can be written (standard output too with --print-drawn); no file is created or
/// changed.
ParseResult parseSimOptions(int argc, const char* const* argv);

/// The --help text.
const char* simUsage();

} // namespace spheres
