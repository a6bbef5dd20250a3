#pragma once

#include "math/Vector3.h"

#include <cstdint>
#include <string>
#include <vector>

namespace spheres {

class Body;
class World;

/// The start scenes the programs and benchmarks can run. Every one is drawn from the program's
/// generator (SceneRandom) with 32-bit float +, -, x, / and square root only, so that every build
/// draws the same bodies, and every one keeps its density when spread is the density-keeping
/// spread of its body count.
enum class Scene {
    /// The program's start scene.
    Program,
    /// Radii over two orders of magnitude with a heavy tail: most near 50, a few up to 5 000.
    Sizes,
    /// Slow bodies in dense clumps, one clump per 100 bodies.
    Clusters,
    /// The program's scene with every 500th body (the first included) 20 000 in radius.
    Giants,
    /// Bodies on a hollow sphere, sliding along it.
    Shell,
};

/// A scene's name, as the command lines take it, and one line on what it holds.
struct SceneInfo {
    Scene scene;
    const char* name;
    const char* summary;
};

/// The scenes' names in the order of the enum, ending with a null pointer.
extern const char* const sceneNames[];

/// Every scene, the program's first.
const std::vector<SceneInfo>& sceneCatalogue();
/// The scene's name ("program", "sizes", ...).
const char* sceneName(Scene scene);
/// The scene called name; false (scene untouched) for a name no scene has.
bool findScene(const std::string& name, Scene& scene);

/// A body as a scene starts it; its acceleration is -0.1 times its velocity, as in every scene.
struct BodyStart {
    Vector3 position;
    float radius;
    Vector3 velocity;
    float mass;
};

/// The count bodies of scene, in creation order, drawn from the generator seeded with seed, with
/// positions scaled by spread. Scene::Program gives populateScene's bodies at the positions
/// makeStartScene scales them to.
std::vector<BodyStart> drawScene(Scene scene, int count, std::uint32_t seed, float spread);

/// drawScene's bodies created on the heap as SphereBody objects (velocity, acceleration, mass
/// set in that order) and added to world in order, as populateScene adds the program's. Returns
/// the bodies in creation order; the caller owns them.
std::vector<Body*> addSceneBodies(World& world, Scene scene, int count, std::uint32_t seed,
                                  float spread);

/// makeStartScene for any scene: addSceneBodies, then the one step of 1.0e-9 that places every
/// leaf. Scene::Program builds the same world as makeStartScene.
std::vector<Body*> makeSceneStart(World& world, Scene scene, int count, std::uint32_t seed,
                                  float spread);

/// buildScene for any scene: makeSceneStart in a new World, made the program's scene (world,
/// bodyCount, bodyArray).
void buildScene(Scene scene, int count, std::uint32_t seed, float spread);

} // namespace spheres
