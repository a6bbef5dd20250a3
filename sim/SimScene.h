#pragma once

#include "frustum/MatrixFrustum.h"

#include <cstdint>
#include <vector>

class Body;
class World;

/// Builds the program's start-up scene in world: count bodies from the generator seeded with
/// seed, their start positions scaled by spread (untouched when spread is 1), then the one step
/// of 1.0e-9 that places every leaf. Returns the bodies in creation order.
std::vector<Body*> buildScene(World& world, int count, std::uint32_t seed, float spread);

/// The frustum of the program's first frame: default projection, camera at its start values.
MatrixFrustum defaultCameraFrustum();
