namespace spheres {

#pragma once

/// The project's version, as "major.minor.patch".
const char* spheresVersion();

} // namespace spheres
