#include "view/ViewCamera.h"

#include "spheretree/NodeIntersection.h"
#include "tests/support/TestSupport.h"
#include "tests/view/ViewTestScene.h"
#include "view/Picking.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace spheres;

namespace {

bool insideFrustum(const Frustum& frustum, const Vector3& center, float radius) {
    for (int i = 0; i < 6; ++i) {
        if (sphereOutsidePlane(*frustum.getPlane(i), center, radius)) {
            return false;
        }
    }
    return true;
}

Vector3 times(const float m[16], const Vector3& p) {
    return Vector3(m[0] * p.x + m[4] * p.y + m[8] * p.z + m[12],
                   m[1] * p.x + m[5] * p.y + m[9] * p.z + m[13],
                   m[2] * p.x + m[6] * p.y + m[10] * p.z + m[14]);
}

} // namespace

TEST(ViewCameraTest, TheBoundsHoldEveryAliveBodyAndIgnoreTheDead) {
    ViewTestScene scene(300, 7, 1.5f);
    scene.bodies[0]->setPosition(Vector3(900000.0f, 0.0f, 0.0f)); // far out, but dead
    scene.bodies[0]->setAlive(false);
    SceneBounds bounds = boundAliveBodies(scene.bodies.data(), 300);
    float widest = 0.0f;
    for (Body* body : scene.bodies) {
        float reach = (body->getPosition() - bounds.center).length() + body->getRadius();
        if (body->isAlive()) {
            EXPECT_LE(reach, bounds.radius);
            widest = std::max(widest, reach);
        }
    }
    EXPECT_EQ(widest, bounds.radius);
    for (Body* body : scene.bodies) {
        body->setAlive(false);
    }
    EXPECT_EQ(boundAliveBodies(scene.bodies.data(), 300).center, Vector3::zero);
    EXPECT_NEAR(boundAliveBodies(scene.bodies.data(), 0).radius, 8660.25f, 0.01f);
}

TEST(ViewCameraTest, TheOrbitCameraFramesTheBodiesFromOutside) {
    for (int count : {1, 100, 1000, 10000}) {
        ViewTestScene scene(count, 3, std::cbrt(count / 100.0f));
        ViewCamera camera;
        camera.frame(boundAliveBodies(scene.bodies.data(), count));
        const SceneBounds& bounds = camera.framed();
        for (auto [width, height] :
             {std::pair(640, 480), std::pair(1024, 768), std::pair(500, 500)}) {
            CameraMatrices m = camera.matrices(CameraPose(), width, height, true);
            MatrixFrustum frustum(m.projection, m.modelview);
            for (Body* body : scene.bodies) {
                ASSERT_TRUE(insideFrustum(frustum, body->getPosition(), body->getRadius()))
                    << count << " bodies, " << width << " x " << height;
            }
            // The framed sphere spans 0.8 of the field of view, seen from outside it.
            float distance = (eyePosition(m.modelview) - bounds.center).length();
            EXPECT_NEAR(std::asin(bounds.radius / distance), 0.8 * 37.5 * 3.14159265 / 180, 1e-4);
            // The whole root sphere lies before the far plane.
            EXPECT_GE(frustum.getFarPlane()->d, QuerySphereTree::rootRadius);
        }
    }
}

TEST(ViewCameraTest, TheDemosKeysMoveBothCamerasTheOrbitTurnsAboutTheCentre) {
    ViewCamera camera;
    camera.frame(SceneBounds{Vector3(300.0f, -200.0f, 50.0f), 4000.0f});
    TestDraws draw{SceneRandom(5)};
    for (int k = 0; k < 200; ++k) {
        CameraPose pose{draw.between(-500, 500), draw.between(-500, 500), draw.between(-500, 500),
                        draw.between(-360, 360), draw.between(-360, 360), draw.between(-360, 360)};
        // The centre stays where the translations put it, however the scene turns.
        CameraMatrices orbit = camera.matrices(pose, 640, 480, true);
        Vector3 centre = times(orbit.modelview, camera.framed().center);
        EXPECT_NEAR(centre.x, pose.transX, 0.01f);
        EXPECT_NEAR(centre.y, pose.transY, 0.01f);
        EXPECT_NEAR(centre.z, pose.transZ - camera.orbitDistance(), 0.01f);
        // The demo's camera is the demo's, bit for bit: the frustum query counts what it counts.
        camera.toggle();
        ASSERT_EQ(camera.kind(), CameraKind::Demo);
        CameraMatrices demo = camera.matrices(pose, 640, 480, true);
        float projection[16], modelview[16];
        defaultProjectionMatrix(projection);
        cameraModelviewMatrix(pose.transX, pose.transY, pose.transZ, pose.rotX, pose.rotY,
                              pose.rotZ, modelview);
        EXPECT_EQ(0, std::memcmp(demo.projection, projection, sizeof projection));
        EXPECT_EQ(0, std::memcmp(demo.modelview, modelview, sizeof modelview));
        camera.toggle();
    }
    // The mouse zooms the orbit by factors, never through the centre.
    float distance = camera.orbitDistance();
    camera.zoomOrbit(0.5f);
    EXPECT_EQ(camera.orbitDistance(), 0.5f * distance);
    for (int k = 0; k < 100; ++k) {
        camera.zoomOrbit(0.5f);
    }
    EXPECT_GT(camera.orbitDistance(), 0.0f);
}
