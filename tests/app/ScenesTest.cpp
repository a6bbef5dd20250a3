#include "app/Scenes.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace spheres;

static bool sameBits(const BodyStart& a, const BodyStart& b) {
    return std::memcmp(&a, &b, sizeof(BodyStart)) == 0;
}

TEST(ScenesTest, TheProgramSceneIsTheProgramsStartBitForBit) {
    struct Case {
        int count;
        std::uint32_t seed;
        float spread;
    };
    for (auto [count, seed, spread] : {Case{100, 1, 1.0f}, Case{1, 1, 1.0f}, Case{0, 3, 1.0f},
                                       Case{777, 9, 2.5f}, Case{1000, 1, 2.1544347f}}) {
        World program, scene;
        std::vector<Body*> expected = makeStartScene(program, count, seed, spread);
        std::vector<Body*> actual = makeSceneStart(scene, Scene::Program, count, seed, spread);
        ASSERT_EQ(actual.size(), expected.size());
        EXPECT_EQ(hashBodies(actual), hashBodies(expected)) << count << " bodies, seed " << seed;
        EXPECT_EQ(scene.getTree().refreshSnapshot().compareWith(scene.getTree().getRoot()), "");
        EXPECT_EQ(checkTree(scene.getTree()), "");
        deleteBodies(expected);
        deleteBodies(actual);
    }
}

TEST(ScenesTest, NamesFindTheirScenesAndNothingElse) {
    for (const SceneInfo& info : sceneCatalogue()) {
        Scene found = Scene::Shell;
        EXPECT_TRUE(findScene(info.name, found) && found == info.scene) << info.name;
        EXPECT_STREQ(sceneName(info.scene), info.name);
    }
    Scene untouched = Scene::Giants;
    for (const char* name : {"", "Program", "program ", "size", "giant"}) {
        EXPECT_FALSE(findScene(name, untouched)) << name;
    }
    EXPECT_EQ(untouched, Scene::Giants);
    EXPECT_EQ(sceneCatalogue().front().scene, Scene::Program);
}

// Each scene's own rule, body by body, and what every scene keeps: the same bodies for the same
// seed, finite values, the program's mass rule, and every body inside the root sphere at start
// with a margin for the motion of its first frames, up to a million bodies at the
// density-keeping spread.
TEST(ScenesTest, EveryDrawFollowsItsScenesRuleInsideTheRoot) {
    const float rootRadius = QuerySphereTree::rootRadius;
    for (const SceneInfo& info : sceneCatalogue()) {
        SCOPED_TRACE(info.name);
        for (int count : {1, 100, 1000, 1000000}) {
            float spread = count == 100 ? 1.0f : static_cast<float>(std::cbrt(count / 100.0));
            std::vector<BodyStart> bodies = drawScene(info.scene, count, 5, spread);
            std::vector<BodyStart> again =
                count > 1000 ? bodies : drawScene(info.scene, count, 5, spread);
            std::vector<BodyStart> program = drawScene(Scene::Program, count, 5, spread);
            ASSERT_EQ(bodies.size(), static_cast<std::size_t>(count));
            std::vector<float> radii;
            for (std::size_t i = 0; i < bodies.size(); ++i) {
                const BodyStart& b = bodies[i];
                ASSERT_TRUE(sameBits(b, again[i])) << i;
                ASSERT_TRUE(isFinite(b.position) && isFinite(b.velocity) && b.mass >= 0.0f &&
                            b.mass <= 999.0f && b.mass == std::floor(b.mass))
                    << i;
                ASSERT_LT(b.position.length() + b.radius + 2500.0f, rootRadius) << i;
                radii.push_back(b.radius);
                bool sameDraws = b.position == program[i].position &&
                                 b.velocity == program[i].velocity && b.mass == program[i].mass;
                float shell = 5000.0f * spread * std::sqrt(spread);
                Vector3 normal = b.position * (1.0f / b.position.length());
                switch (info.scene) {
                case Scene::Program:
                    ASSERT_TRUE(b.radius >= 50.0f && b.radius <= 1049.0f) << i;
                    break;
                case Scene::Sizes:
                    ASSERT_TRUE(sameDraws && b.radius >= 50.0f && b.radius < 5000.0f) << i;
                    break;
                case Scene::Giants:
                    ASSERT_TRUE(sameDraws && (i % 500 == 0 ? b.radius == 20000.0f
                                                           : b.radius == program[i].radius))
                        << i;
                    break;
                case Scene::Clusters: { // body i and i + clumps share a clump
                    std::size_t clumps = std::max<std::size_t>(1, bodies.size() / 100);
                    ASSERT_TRUE(b.radius >= 50.0f && b.radius <= 549.0f &&
                                std::max({std::fabs(b.velocity.x), std::fabs(b.velocity.y),
                                          std::fabs(b.velocity.z)}) <= 50.0f)
                        << i;
                    ASSERT_TRUE(i < clumps ||
                                (b.position - bodies[i - clumps].position).length() <= 3000.0f)
                        << i;
                    break;
                }
                case Scene::Shell:
                    ASSERT_TRUE(std::fabs(b.position.length() - shell) <= shell * 1e-6f &&
                                std::fabs(b.velocity.dot(normal)) <= 1e-3f)
                        << i;
                    break;
                }
            }
            if (count == 1000) { // the sizes' tail: median near 50 + 4950 / 2^10, a few large
                std::sort(radii.begin(), radii.end());
                EXPECT_TRUE(info.scene != Scene::Sizes ||
                            (radii[500] > 52.0f && radii[500] < 56.0f && radii[990] > 2500.0f))
                    << radii[500];
            }
        }
        // Another seed, another scene.
        EXPECT_FALSE(
            sameBits(drawScene(info.scene, 1, 5, 1.0f)[0], drawScene(info.scene, 1, 6, 1.0f)[0]));
    }
}
