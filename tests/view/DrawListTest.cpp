#include "view/DrawList.h"

#include "tests/support/TestSupport.h"
#include "tests/view/ViewTestScene.h"
#include "view/SweepRecorder.h"
#include "view/ViewSession.h"

#include <gtest/gtest.h>

#include <numeric>

using namespace spheres;

namespace {

// The cube -s..s on each axis as a frustum.
MatrixFrustum cube(float s) {
    const float scale[16] = {1 / s, 0, 0, 0, 0, 1 / s, 0, 0, 0, 0, 1 / s, 0, 0, 0, 0, 1};
    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    return MatrixFrustum(scale, identity);
}

std::vector<int> colourOf(const std::uint8_t* c) {
    return {c[0], c[1], c[2], c[3]};
}

} // namespace

TEST(DrawListTest, KeepsWhatTheFrustumsKeepColouredByLevelAndStyle) {
    MatrixFrustum bodies = cube(1.0f), scene = cube(10.0f);
    DrawList list;
    list.levelShown[3] = false;
    list.begin(bodies, scene);
    // A sphere touching a plane from outside is kept, as the tree's frustum query keeps it.
    list.drawBody(Vector3(2.0f, 0.0f, 0.0f), 1.0f);
    list.drawBody(Vector3(2.0f, 0.0f, 0.0f), 0.99f);
    list.drawBody(Vector3(0.0f, 0.5f, 0.0f), 0.25f);
    for (int level = 0; level < 8; ++level) {
        list.drawBounds(Vector3(0.0f, 0.0f, 5.0f), 1.0f + static_cast<float>(level), level);
    }
    list.drawBounds(Vector3(12.0f, 0.0f, 0.0f), 1.0f, 1); // beyond the scene's frustum
    list.drawEscapedLeaf(Vector3(0.0f, 9.0f, 0.0f), 2.0f);
    ASSERT_EQ(list.drawnBodies(), 2);
    EXPECT_EQ(list.bodies()[1].y, 0.5f);
    EXPECT_EQ(colourOf(list.bodies()[0].colour), (std::vector<int>{255, 0, 0, 255}));
    std::vector<float> radii;
    for (const SphereInstance& s : list.bounds()) {
        radii.push_back(s.radius);
    }
    // Level 3 hidden; levels past the last coloured one take its colour.
    EXPECT_EQ(radii, (std::vector<float>{1, 2, 3, 5, 6, 7, 8, 2}));
    EXPECT_EQ(colourOf(list.bounds()[6].colour), colourOf(DrawList::levelColours[5]));
    EXPECT_EQ(colourOf(list.bounds()[7].colour), colourOf(DrawList::escapedColour));

    list.translucent = true;
    list.levelShown[5] = false;
    list.begin(bodies, scene);
    EXPECT_TRUE(list.bodies().empty() && list.bounds().empty() && list.segments().empty());
    list.drawBounds(Vector3::zero, 1.0f, 7);
    list.drawBounds(Vector3::zero, 1.0f, 4);
    ASSERT_EQ(list.bounds().size(), 1u);
    std::vector<int> faint = colourOf(DrawList::levelColours[4]);
    faint[3] = 31;
    EXPECT_EQ(colourOf(list.bounds()[0].colour), faint);
}

TEST(DrawListTest, ATreeWalkGivesEveryBodyAndNodeAndTheSweepItsOwnLists) {
    ViewTestScene scene(400, 11, 0.5f);
    QuerySphereTree& tree = scene.world.getTree();
    MatrixFrustum everything = cube(1.0e7f);
    DrawList list;
    tree.setDebugDraw(&list);
    SweepRecorder recorder;
    int contacts = 0;
    for (int frame = 0; frame < 30 && contacts < 3; ++frame) {
        list.begin(everything, everything);
        scene.world.draw();
        TreeLevelCounts counts = countTreeLevels(tree);
        ASSERT_EQ(list.drawnBodies(), counts.leaves);
        ASSERT_EQ(static_cast<int>(list.bounds().size()),
                  std::accumulate(counts.bounding.begin(), counts.bounding.end(), 0) +
                      counts.escaped);
        for (Body* body : scene.bodies) {
            recorder.watch(body);
            BodyList hits;
            TimeList times;
            tree.querySweep(body, hits, times, recorder);
            list.addSweep(recorder);
            const SweepRecorder::Leaf* earliest = recorder.earliestContact();
            contacts += earliest ? 1 : 0;
            ASSERT_EQ(list.sweepNodes().size(), recorder.nodes().size());
            ASSERT_EQ(list.overlay().size(), recorder.leaves().size() + 1);
            const SphereInstance& self = list.overlay().back();
            ASSERT_TRUE(Vector3(self.x, self.y, self.z) == recorder.pathEnd() &&
                        self.radius == recorder.bodyRadius() &&
                        list.segments().back().from == recorder.pathStart());
            // The earliest contact's partner alone in white.
            ASSERT_EQ(std::count_if(
                          list.overlay().begin(), list.overlay().end(),
                          [](const SphereInstance& s) { return s.colour[0] + s.colour[2] == 510; }),
                      earliest ? 1 : 0);
            list.begin(everything, everything);
        }
        BodyList visible;
        simulateFrame(scene.world, scene.bodies.data(), 400, true, 0.1f, everything, visible);
    }
    EXPECT_GE(contacts, 3) << "no sweep reached a contact";
    recorder.watch(nullptr);
    list.addSweep(recorder);
    EXPECT_TRUE(list.overlay().empty() && list.segments().empty());
}
