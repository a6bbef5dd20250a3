#pragma once

#include <string>

namespace spheres {

/// Writes an 8-bit RGB picture of width x height pixels as a PNG file, replacing path only once
/// the whole picture is written. rows holds the pixels bottom row first, as glReadPixels returns
/// them, 3 bytes each and no padding. Returns an empty string, or what went wrong.
std::string writePng(const std::string& path, const unsigned char* rows, int width, int height);

} // namespace spheres
