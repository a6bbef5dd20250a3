// GLDebugDraw in a real GL context (the test runs under Xvfb): a World drawn through the tree's
// draw() shows each body as a lit red disc where it is, and nothing of the bounding spheres.
#include "app/GLDebugDraw.h"

#include "app/GLState.h"
#include "tests/support/TestSupport.h"

#include <GL/freeglut.h>
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <vector>

using namespace spheres;

namespace {

constexpr int side = 200; // pixels, and world units across the orthographic view

struct Picture {
    std::vector<unsigned char> rgb = std::vector<unsigned char>(side * side * 3);

    // The rule of the window tests' screenshots: r > 0.3, r > 2g, r > 2b.
    bool red(int x, int y) const {
        const unsigned char* p = &rgb[static_cast<std::size_t>(((y * side) + x) * 3)];
        return p[0] > 77 && p[0] > 2 * p[1] && p[0] > 2 * p[2];
    }
    bool black(int x, int y) const {
        const unsigned char* p = &rgb[static_cast<std::size_t>(((y * side) + x) * 3)];
        return p[0] < 13 && p[1] < 13 && p[2] < 13;
    }
    // Red pixels in the square of half-width h about (x, y).
    int redAround(int x, int y, int h) const {
        int count = 0;
        for (int j = y - h; j <= y + h; ++j) {
            for (int i = x - h; i <= x + h; ++i) {
                count += red(i, j) ? 1 : 0;
            }
        }
        return count;
    }
};

// World x, y in [-100, 100] onto the window's pixels; the picture of the back buffer.
Picture drawWorld(World& world) {
    glViewport(0, 0, side, side);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-100.0, 100.0, -100.0, 100.0, -1000.0, 1000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    world.draw();
    glFinish();
    Picture picture;
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, side, side, GL_RGB, GL_UNSIGNED_BYTE, picture.rgb.data());
    return picture;
}

} // namespace

TEST(GLDebugDrawTest, TheTreesDrawShowsEachBodyLitRedWhereItIsAndNothingElse) {
    struct Disc {
        float x, y, radius;
    };
    const Disc discs[] = {{-50.0f, 0.0f, 20.0f}, {50.0f, 0.0f, 10.0f}, {0.0f, 60.0f, 15.0f}};
    World world;
    std::vector<SphereBody> bodies;
    for (const Disc& d : discs) {
        bodies.emplace_back(Vector3(d.x, d.y, 0.0f), d.radius);
    }
    for (SphereBody& body : bodies) {
        world.addBody(&body);
    }
    world.step(1.0e-9f);

    // No drawer: the tree draws nothing.
    Picture empty = drawWorld(world);
    EXPECT_EQ(empty.redAround(side / 2, side / 2, side / 2 - 1), 0);

    GLDebugDraw drawer;
    world.getTree().setDebugDraw(&drawer);
    Picture picture = drawWorld(world);
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    int total = 0;
    for (const Disc& d : discs) {
        int cx = side / 2 + static_cast<int>(d.x), cy = side / 2 + static_cast<int>(d.y);
        int r = static_cast<int>(d.radius);
        EXPECT_TRUE(picture.red(cx, cy)) << d.x << " " << d.y;
        EXPECT_TRUE(picture.black(cx + r + 2, cy) && picture.black(cx, cy - r - 2))
            << d.x << " " << d.y;
        // A ten-sided lit sphere: about 86 % of the disc counts as red (the polygon is a little
        // smaller than the circle, and the rim is too dim); a radius 10 % off leaves the range.
        int count = picture.redAround(cx, cy, r + 2);
        EXPECT_GT(count, 0.75 * 3.14159 * r * r) << d.x << " " << d.y;
        EXPECT_LT(count, 0.95 * 3.14159 * r * r) << d.x << " " << d.y;
        total += count;
    }
    // No red outside the bodies: the bounding spheres around them draw nothing.
    EXPECT_EQ(picture.redAround(side / 2, side / 2, side / 2 - 1), total);
    EXPECT_TRUE(picture.black(side / 2, side / 2)); // between the bodies, inside their bounds
    world.getTree().setDebugDraw(nullptr);
}

int main(int argc, char** argv) {
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_DOUBLE | GLUT_DEPTH | GLUT_RGB);
    glutInitWindowSize(side, side);
    glutCreateWindow("GLDebugDraw test");
    initGLState();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
