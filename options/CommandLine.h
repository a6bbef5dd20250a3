#pragma once

#include "options/ProgramOptions.h"

#include <string>
#include <vector>

namespace spheres {

// The command-line language of sphere-sim and sphere-view: one table of options (in
// CommandLine.cpp), each row with its name, whether it takes a value, its check and bounds, its
// field and its help line. A program accepts the rows whose field its options hold; both read
// the command line through one function and print usage lines made from the same rows.

/// The programs that read the language.
enum class Program { Sim, View };

/// Reads argv[1..argc) into options: each of the program's options at most once, as
/// "--name VALUE" or "--name=VALUE" ("-h" is --help; GLUT's options as "-name VALUE"). Checks
/// every value against its bounds and touches no file. A spread not given becomes the one that
/// keeps the density (defaultSpread). Returns "" or the message of the first bad argument, which
/// names it; given, if not null, receives the names of the options read, in order.
std::string readCommandLine(int argc, const char* const* argv, SimOptions& options,
                            std::vector<std::string>* given = nullptr);
std::string readCommandLine(int argc, const char* const* argv, ViewOptions& options,
                            std::vector<std::string>* given = nullptr);

/// The usage lines of the options program accepts, in the table's order, wrapped to 79 columns.
std::string optionUsage(Program program);

} // namespace spheres
