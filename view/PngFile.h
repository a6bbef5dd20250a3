#pragma once

#include <string>

namespace spheres {

class OutputFile;

/// Writes an 8-bit RGB picture of width x height pixels as PNG into file, which the caller has
/// opened and commits. rows holds the pixels bottom row first, as glReadPixels returns them,
/// 3 bytes each and no padding. Returns an empty string, or what went wrong.
std::string writePng(OutputFile& file, const unsigned char* rows, int width, int height);

} // namespace spheres
