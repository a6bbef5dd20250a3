#include "view/Picking.h"

#include "app/CameraMatrices.h"
#include "tests/support/TestSupport.h"
#include "world/World.h"

#include <gtest/gtest.h>

using namespace spheres;

TEST(PickingTest, MouseRayRunsFromTheEyeThroughThePixel) {
    float projection[16], modelview[16];
    defaultProjectionMatrix(projection);
    cameraModelviewMatrix(0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, modelview);
    // The eye sits at z = 10000 looking down -z.
    Ray centre = mouseRay(projection, modelview, 640, 480, 320, 240);
    EXPECT_NEAR(centre.origin.z, 10000.0f, 0.01f);
    EXPECT_NEAR(centre.direction.z, -1.0f, 1e-5f);
    // The top edge is 37.5 degrees off the axis; y grows downwards in the window.
    Ray top = mouseRay(projection, modelview, 640, 480, 320, 0);
    EXPECT_NEAR(top.direction.y / -top.direction.z, std::tan(37.5 * 3.14159265 / 180.0) * 479 / 480,
                1e-4);
    // Turned half round about y, the eye looks down +z.
    cameraModelviewMatrix(0.0f, 0.0f, 0.0f, 0.0f, 180.0f, 0.0f, modelview);
    Ray behind = mouseRay(projection, modelview, 640, 480, 320, 240);
    EXPECT_NEAR(behind.origin.z, -10000.0f, 0.05f);
    EXPECT_NEAR(behind.direction.z, 1.0f, 1e-5f);
}

TEST(PickingTest, PicksTheDrawnSphereNearestTheEye) {
    World scene;
    std::deque<SphereBody> bodies;
    for (auto [z, radius] :
         {std::pair(-2000.0f, 100.0f), std::pair(2000.0f, 50.0f), std::pair(5000.0f, 100.0f)}) {
        Vector3 at(0.0f, 0.0f, z);
        scene.addBody(&bodies.emplace_back(makeBody(at, at, radius)));
    }
    // The second is added later and nearer the eye. The third is moved off the ray in its last
    // step: its swept sphere is hit, its drawn sphere is not.
    scene.step(1.0e-9f);
    bodies[2].setPosition(Vector3(0.0f, 3000.0f, 5000.0f));
    scene.getTree().update();
    Ray down{Vector3(0.0f, 0.0f, 9999.0f), Vector3(0.0f, 0.0f, -1.0f)};
    BodyList hits;
    TimeList times;
    scene.getTree().queryRay(down.origin, down.direction, hits, times);
    ASSERT_EQ(hits.size(), 3u); // the tree reports all three
    EXPECT_EQ(pickBody(scene.getTree(), down), &bodies[1]);
    Ray up{Vector3(0.0f, 0.0f, -9999.0f), Vector3(0.0f, 0.0f, 1.0f)};
    EXPECT_EQ(pickBody(scene.getTree(), up), &bodies[0]);
    Ray aside{Vector3(0.0f, 400.0f, 9999.0f), Vector3(0.0f, 0.0f, -1.0f)};
    EXPECT_EQ(pickBody(scene.getTree(), aside), nullptr);
}

// The camera turned about two axes at once (each pair of them): a click on the pixel where a
// body's centre is drawn, found by projecting it as GL does, picks that body.
TEST(PickingTest, AClickOnABodysCentrePicksItAfterTurnsAboutTwoAxes) {
    float projection[16], m[16];
    defaultProjectionMatrix(projection);
    TestDraws draw{SceneRandom(11)};
    int picked = 0;
    for (int turn = 0; turn < 300; ++turn) {
        float a = draw.between(5.0f, 355.0f), b = draw.between(5.0f, 355.0f);
        float turns[3][3] = {{a, b, 0.0f}, {0.0f, a, b}, {a, 0.0f, b}};
        const float* r = turns[turn % 3];
        cameraModelviewMatrix(0.0f, 0.0f, draw.between(-3000.0f, 3000.0f), r[0], r[1], r[2], m);
        Vector3 at = draw.vector(3000.0f);
        World scene;
        SphereBody body = makeBody(at, at, 150.0f);
        scene.addBody(&body);
        scene.getTree().update();
        // Window coordinates of the centre: clip = P M (x, y, z, 1), GLUT's y from the top.
        float eye[4], clip[4];
        for (int i = 0; i < 4; ++i) {
            eye[i] = m[i] * at.x + m[4 + i] * at.y + m[8 + i] * at.z + m[12 + i];
        }
        for (int i = 0; i < 4; ++i) {
            clip[i] = projection[i] * eye[0] + projection[4 + i] * eye[1] +
                      projection[8 + i] * eye[2] + projection[12 + i] * eye[3];
        }
        int x = static_cast<int>(std::floor((clip[0] / clip[3] + 1.0f) * 320.0f));
        int y = static_cast<int>(std::floor((1.0f - clip[1] / clip[3]) * 240.0f));
        if (clip[3] <= 0.0f || x < 0 || x >= 640 || y < 0 || y >= 480) {
            continue;
        }
        ++picked;
        EXPECT_EQ(pickBody(scene.getTree(), mouseRay(projection, m, 640, 480, x, y)), &body)
            << "turned " << r[0] << " " << r[1] << " " << r[2] << " at pixel " << x << "," << y;
    }
    EXPECT_GT(picked, 200);
}
