#pragma once

#include "sim/SimOptions.h"

#include <algorithm>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

/// Parses a sphere-sim command line given as one string of space-separated words.
inline ParseResult parseLine(const std::string& line) {
    std::istringstream text("sphere-sim " + line);
    std::vector<std::string> words{std::istream_iterator<std::string>(text), {}};
    std::vector<const char*> argv(words.size());
    std::transform(words.begin(), words.end(), argv.begin(), [](auto& w) { return w.c_str(); });
    return parseSimOptions(static_cast<int>(argv.size()), argv.data());
}
