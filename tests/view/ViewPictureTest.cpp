#include "view/ViewPicture.h"

#include "spheretree/NodeIntersection.h"
#include "tests/support/TestSupport.h"
#include "tests/view/ViewTestScene.h"
#include "view/ClipSlab.h"
#include "view/LevelLegend.h"
#include "view/Picking.h"
#include "view/SweepRecorder.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace spheres;

namespace {

// A picture of a start-up scene through a random pose of one of the cameras.
struct PictureScene {
    ViewTestScene scene;
    ViewCamera camera;
    CameraMatrices m;
    MatrixFrustum frustum;
    PictureSetup setup;
    ViewPicture picture;

    PictureScene(int count, std::uint32_t seed, TestDraws& draw, const LevelLegend& levels,
                 ClipSlab& slab)
        : scene(count, seed, draw.between(0.2f, 3.0f)), frustum(defaultCameraFrustum()) {
        camera.frame(boundAliveBodies(scene.bodies.data(), count));
        if (seed % 3 == 0) {
            camera.toggle();
        }
        CameraPose pose{draw.between(-2000, 2000), draw.between(-2000, 2000),
                        draw.between(-9000, 9000), draw.between(-90, 90),
                        draw.between(-90, 90),     0.0f};
        m = camera.matrices(pose, 640, 480, true);
        frustum.setMatrices(m.projection, m.modelview);
        slab.place(camera.framed(), viewDirection(m.modelview));
        setup = PictureSetup{&frustum,
                             &frustum,
                             eyePosition(m.modelview),
                             pixelsPerUnit(m.projection, 480),
                             &levels,
                             &slab,
                             false,
                             false};
        picture.begin(setup);
        scene.world.getTree().setDebugDraw(&picture);
        scene.world.getTree().draw();
    }
};

bool outside(const Frustum& frustum, const Vector3& center, float radius) {
    for (int i = 0; i < 6; ++i) {
        if (sphereOutsidePlane(*frustum.getPlane(i), center, radius)) {
            return true;
        }
    }
    return false;
}

// The size a picture gives a sphere of the given radius in pixels (bodies are never rings).
ViewPicture::SphereSize sizeOf(float pixels, bool body) {
    return !body && pixels >= ViewPicture::largePixels ? ViewPicture::Ring
           : pixels >= ViewPicture::pointPixels        ? ViewPicture::Square
                                                       : ViewPicture::Point;
}

// The silhouettes of the bounding nodes below node, as the picture should list them: [strong]
// [size], in the walk's order.
void expectedSilhouettes(const TreeNode* node, const PictureScene& p,
                         std::vector<Vector3> lists[2][ViewPicture::sizeCount]) {
    if (node->flags & TreeNodeFlags::Bounding) {
        LevelStyle style = p.setup.levels->style(node->level, false);
        Vector3 c = node->center;
        float r = node->radius;
        bool cut = !p.setup.slab->active() || p.setup.slab->section(c, r, c, r);
        float beyond = (c - p.setup.eye).lengthSquared() - r * r;
        bool strong = style.colour[3] == 255;
        float pixels = beyond > 0.0f ? r * p.setup.pixelsPerUnit / std::sqrt(beyond) : 0.0f;
        if (style.drawn && cut && !outside(p.frustum, c, r) && pixels > 0.0f &&
            (strong || pixels >= ViewPicture::faintDotPixels)) {
            lists[strong][sizeOf(pixels, false)].push_back(c);
        }
    }
    for (const TreeNode* child : node->children) {
        expectedSilhouettes(child, p, lists);
    }
}

std::vector<Vector3> centres(const std::vector<DrawnSphere>& spheres) {
    std::vector<Vector3> out;
    for (const DrawnSphere& s : spheres) {
        out.push_back(Vector3(s.center[0], s.center[1], s.center[2]));
    }
    return out;
}

} // namespace

TEST(ViewPictureTest, BodiesAreTheFrustumQuerysAndLevelsAreDrawnAsTheirStyleSays) {
    TestDraws draw{SceneRandom(11)};
    LevelLegend levels;
    ClipSlab slab;
    int sliced = 0;
    for (std::uint32_t seed = 0; seed < 300; ++seed) {
        if (seed % 7 == 0) {
            levels.toggle(static_cast<int>(draw.index(6)));
        }
        levels.stepEmphasis(static_cast<int>(draw.index(6)));
        slab.move(static_cast<int>(draw.index(3)));
        int count = 1 + static_cast<int>(draw.index(80));
        PictureScene p(count, seed, draw, levels, slab);

        BodyList visible;
        p.scene.world.queryFrustum(p.frustum, visible);
        ASSERT_EQ(p.picture.drawnBodies(), static_cast<int>(visible.size())) << seed;
        // Points and squares by their silhouette's radius in pixels.
        std::vector<Vector3> bodies[2];
        for (Body* body : visible) {
            Vector3 c = body->getPosition();
            float r = body->getRadius();
            if (slab.reaches(c, r)) {
                float beyond = (c - p.setup.eye).lengthSquared() - r * r;
                float pixels = beyond > 0.0f ? r * p.setup.pixelsPerUnit / std::sqrt(beyond) : 0.0f;
                bodies[sizeOf(pixels, true)].push_back(c);
            }
        }
        ASSERT_EQ(centres(p.picture.bodies(ViewPicture::Point)), bodies[0]) << seed;
        ASSERT_EQ(centres(p.picture.bodies(ViewPicture::Square)), bodies[1]) << seed;
        std::size_t inSlab = bodies[0].size() + bodies[1].size();
        EXPECT_EQ(p.picture.slabBodies(), static_cast<int>(inSlab));
        sliced += slab.active() && inSlab < visible.size() ? 1 : 0;

        std::vector<Vector3> lists[2][ViewPicture::sizeCount];
        expectedSilhouettes(p.scene.world.getTree().getRoot(), p, lists);
        for (int strong = 0; strong < 2; ++strong) {
            for (int size = 0; size < ViewPicture::sizeCount; ++size) {
                auto shown = p.picture.silhouettes(strong, ViewPicture::SphereSize(size));
                ASSERT_EQ(centres(shown), lists[strong][size])
                    << seed << " strong " << strong << " size " << size;
            }
        }
        EXPECT_TRUE(p.picture.shells().empty());
        TreeLevelCounts counted = countTreeLevels(p.scene.world.getTree());
        EXPECT_EQ(p.picture.levelCounts().bounding, counted.bounding);
        EXPECT_EQ(p.picture.levelCounts().leaves, counted.leaves);
    }
    EXPECT_GT(sliced, 30);
}

TEST(ViewPictureTest, AQueryIsDrawnOverQuietLevelsTheRejectedDashed) {
    TestDraws draw{SceneRandom(2)};
    LevelLegend levels;
    ClipSlab slab;
    PictureScene p(400, 4, draw, levels, slab);
    SweepRecorder sweep;
    Body* body = p.scene.bodies[17];
    sweep.watch(body);
    BodyList hits;
    TimeList times;
    p.scene.world.getTree().querySweep(body, hits, times, sweep);
    ASSERT_GT(sweep.rejectedCount(), 0);

    p.setup.quiet = true;
    p.setup.shells = true;
    p.scene.bodies[3]->setAlive(false); // its leaf shows in the escaped leaves' colour
    p.picture.begin(p.setup);
    p.scene.world.getTree().draw();
    p.picture.addSweep(sweep);
    EXPECT_EQ(p.picture.levelCounts().escaped, 1);
    EXPECT_EQ(std::count_if(p.picture.shells().begin(), p.picture.shells().end(),
                            [](const DrawnSphere& s) {
                                return s.colour[0] == LevelLegend::escapedColour[0];
                            }),
              1);
    // Quiet: no strong level; shells: every bounding sphere as a shell.
    for (int size = 0; size < ViewPicture::sizeCount; ++size) {
        EXPECT_TRUE(p.picture.silhouettes(true, ViewPicture::SphereSize(size)).empty());
        EXPECT_TRUE(p.picture.silhouettes(false, ViewPicture::SphereSize(size)).empty());
    }
    EXPECT_FALSE(p.picture.shells().empty());
    // Every node tested, every leaf reached and the body itself, but no sphere that holds the
    // eye; dashed exactly where the query turned back.
    std::size_t expected = sweep.leaves().size() + 1;
    int dashed = 0;
    for (const SweepRecorder::Node& node : sweep.nodes()) {
        bool seen = (node.center - p.setup.eye).length() > node.radius;
        expected += seen ? 1 : 0;
        dashed += seen && !node.accepted ? 1 : 0;
    }
    std::vector<DrawnSphere> query = p.picture.querySilhouettes(false);
    query.insert(query.end(), p.picture.querySilhouettes(true).begin(),
                 p.picture.querySilhouettes(true).end());
    EXPECT_EQ(query.size(), expected);
    EXPECT_EQ(std::count_if(query.begin(), query.end(),
                            [](const DrawnSphere& s) { return s.dashes > 0.0f; }),
              dashed);
    ASSERT_EQ(p.picture.queryBodies().size(), 1u);
    EXPECT_EQ(p.picture.queryBodies()[0].colour[1], ViewPicture::selectedColour[1]);
    EXPECT_TRUE(p.picture.hasPath());
    EXPECT_EQ(p.picture.pathEnd(), body->getPosition());
}
