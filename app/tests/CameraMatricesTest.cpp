#include "app/CameraMatrices.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(CameraMatricesTest, ReshapeReplacesZeroSizesByOne) {
    struct Case {
        const char* label;
        int width, height;
        int expectedWidth, expectedHeight;
        double aspect;
    } cases[] = {{"window", 640, 480, 640, 480, 640.0 / 480.0},
                 {"zero height", 640, 0, 640, 1, 640.0},
                 {"zero width", 0, 480, 1, 480, 1.0 / 480.0},
                 {"both zero", 0, 0, 1, 1, 1.0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        int width = c.width;
        int height = c.height;
        EXPECT_EQ(reshapeAspect(width, height), c.aspect);
        EXPECT_EQ(width, c.expectedWidth);
        EXPECT_EQ(height, c.expectedHeight);
    }
}

TEST(CameraMatricesTest, PerspectiveFollowsTheProjectionFormula) {
    float m[16];
    perspectiveMatrix(75.0, 2.0, 1.0, 300000.0, m);
    double f = 1.0 / std::tan(75.0 / 2.0 * M_PI / 180.0);
    float expected[16] = {};
    expected[0] = static_cast<float>(f / 2.0);
    expected[5] = static_cast<float>(f);
    expected[10] = static_cast<float>((300000.0 + 1.0) / (1.0 - 300000.0));
    expected[11] = -1.0f;
    expected[14] = static_cast<float>(2.0 * 300000.0 * 1.0 / (1.0 - 300000.0));
    for (int i = 0; i < 16; ++i) {
        EXPECT_FLOAT_EQ(m[i], expected[i]) << "element " << i;
    }

    float program[16];
    float window[16];
    defaultProjectionMatrix(program);
    perspectiveMatrix(75.0, 640.0 / 480.0, 1.0, 300000.0, window);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(program[i], window[i]) << "element " << i;
    }
}

TEST(CameraMatricesTest, ModelviewTranslatesThenRotatesLikeGL) {
    SCOPED_TRACE("zero angles: only the eye distance");
    float m[16];
    cameraModelviewMatrix(0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, m);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(m[i], i == 14 ? -10000.0f : (i % 5 == 0 ? 1.0f : 0.0f)) << "element " << i;
    }

    // Column-major m applied to (x, y, z, 1).
    auto apply = [&m](float x, float y, float z, int row) {
        return m[row] * x + m[4 + row] * y + m[8 + row] * z + m[12 + row];
    };
    SCOPED_TRACE("translation is added to the eye distance");
    cameraModelviewMatrix(5.0f, -5.0f, 50.0f, 0.0f, 0.0f, 0.0f, m);
    EXPECT_EQ(apply(1.0f, 2.0f, 3.0f, 0), 6.0f);
    EXPECT_EQ(apply(1.0f, 2.0f, 3.0f, 1), -3.0f);
    EXPECT_EQ(apply(1.0f, 2.0f, 3.0f, 2), -9947.0f);

    SCOPED_TRACE("z turns first, then y, then x (right-handed, degrees)");
    cameraModelviewMatrix(0.0f, 0.0f, 0.0f, 90.0f, 90.0f, 90.0f, m);
    // x -> y (about z) -> y (about y) -> z (about x).
    EXPECT_NEAR(apply(1.0f, 0.0f, 0.0f, 0), 0.0f, 1e-6f);
    EXPECT_NEAR(apply(1.0f, 0.0f, 0.0f, 1), 0.0f, 1e-6f);
    EXPECT_NEAR(apply(1.0f, 0.0f, 0.0f, 2), -10000.0f + 1.0f, 1e-3f);
    // y -> -x (about z) -> z (about y) -> -y (about x).
    EXPECT_NEAR(apply(0.0f, 1.0f, 0.0f, 1), -1.0f, 1e-6f);
}
