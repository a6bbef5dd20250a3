#pragma once

#include "sim/SimOptions.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

using namespace spheres;

inline std::string readFile(const std::string& path) {
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

inline std::vector<std::string> words(const std::string& line) {
    std::istringstream text(line);
    return {std::istream_iterator<std::string>(text), {}};
}

/// Parses a sphere-sim command line given as one string of space-separated words.
inline ParseResult parseLine(const std::string& line) {
    std::vector<std::string> argv = words("sphere-sim " + line);
    std::vector<const char*> raw(argv.size());
    std::transform(argv.begin(), argv.end(), raw.begin(), [](auto& w) { return w.c_str(); });
    return parseSimOptions(static_cast<int>(raw.size()), raw.data());
}
