#pragma once

namespace spheres {

class Body;
class World;

// The application's state, one of each for the whole process. The key handlers and the frame
// work on these, so the window program and the headless tools drive the very same code.

/// Bodies created at start-up; the bound of every frame's per-body loop.
extern int bodyCount;
/// Simulated time added by each running frame.
extern float timeStep;
/// While false, frames do not step the World; space toggles it.
extern bool simulationRunning;
/// The one World; never destroyed while the program runs.
extern World* world;
/// Every body, in creation order (bodyCount entries).
extern Body** bodyArray;
/// Camera translation, applied after the fixed eye distance.
extern float cameraTransX;
extern float cameraTransY;
extern float cameraTransZ;
/// Camera rotation in degrees about the x, y and z axes.
extern float cameraRotX;
extern float cameraRotY;
extern float cameraRotZ;

} // namespace spheres
