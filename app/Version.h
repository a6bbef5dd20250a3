#pragma once

namespace spheres {

/// The project's version, as "major.minor.patch".
const char* spheresVersion();

} // namespace spheres
