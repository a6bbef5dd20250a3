#include "app/ScenePopulation.h"

#include "app/AppGlobals.h"
#include "body/SphereBody.h"
#include "tests/support/TestSupport.h"
#include "world/World.h"

#include <gtest/gtest.h>

using namespace spheres;

// The start-up: the spread scales the start positions and the vanishing first step makes each
// start the previous position, barely moving it; buildScene makes such a scene the program's.
TEST(ScenePopulationTest, StartSceneSpreadsStepsOnceAndBecomesTheProgramsScene) {
    World plain;
    std::vector<Body*> start = makeStartScene(plain, 20, 7);
    buildScene(20, 7, 2.5f);
    for (std::size_t i = 0; i < 20; ++i) {
        Vector3 from = start[i]->getPreviousPosition() * 2.5f;
        EXPECT_EQ(bodyArray[i]->getPreviousPosition(), from) << i;
        EXPECT_LT((bodyArray[i]->getPosition() - from).length(), 1.0e-3f) << i;
        delete static_cast<SphereBody*>(start[i]);
        delete static_cast<SphereBody*>(bodyArray[i]);
    }
    EXPECT_TRUE(bodyCount == 20 && world->getTree().getIntegrateQueue().empty() &&
                world->getBodies().size() == 20u);
    delete world;
    delete[] bodyArray;
    bodyArray = nullptr;
    bodyCount = 100;
}
