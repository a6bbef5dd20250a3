#include "app/AppGlobals.h"

namespace spheres {

int bodyCount = 100;
float timeStep = 0.1f;
bool simulationRunning = true;
World* world = nullptr;
Body** bodyArray = nullptr;
float cameraTransX = 0.0f;
float cameraTransY = 0.0f;
float cameraTransZ = 0.0f;
float cameraRotX = 0.0f;
float cameraRotY = 0.0f;
float cameraRotZ = 0.0f;

} // namespace spheres
