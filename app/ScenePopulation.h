#pragma once

#include <cstdint>
#include <vector>

namespace spheres {

class Body;
class World;

/// The scene's random numbers: state = state * 214013 + 2531011 (mod 2^32), value bits 16..30,
/// so the scene is the same on every platform.
class SceneRandom {
public:
    explicit SceneRandom(std::uint32_t seed = 1) : state(seed) {}
    /// The next value, 0 to 32767.
    int next();

private:
    std::uint32_t state;
};

/// Creates count SphereBody objects on the heap from the generator seeded with seed, sets up
/// each (radius, position, velocity, acceleration -0.1 x velocity, mass) and adds it to world.
/// Returns the bodies in creation order; the caller owns them. The defaults are the program's
/// scene.
std::vector<Body*> populateScene(World& world, int count = 100, std::uint32_t seed = 1);

/// The programs' start-up scene in world: populateScene(world, count, seed), the start positions
/// scaled by spread (untouched when it is 1), then the one step of 1.0e-9 that places every leaf.
/// Returns the bodies in creation order; the caller owns them.
std::vector<Body*> makeStartScene(World& world, int count, std::uint32_t seed = 1,
                                  float spread = 1.0f);

/// The density-keeping spread of a scene of n bodies: 1 for 100, cbrt(n / 100) otherwise.
float defaultSpread(int bodies);

/// The programs' start-up: makeStartScene in a new World, made the program's scene (world,
/// bodyCount and bodyArray). A program that replaces it deletes world, each body and bodyArray
/// (an array) first.
void buildScene(int count, std::uint32_t seed = 1, float spread = 1.0f);

} // namespace spheres
